// kavo3cli's list, verify, JSON documents, help and offline timing files, run as a user runs
// them against the simulated unit; every JSON document is checked against the schema the docs
// publish.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "tests/cli/RunProcess.h"

namespace kavo3::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::contentsOf;

struct Ran {
    int exit = -1;
    std::string out, err;
};

class UserTools : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kavo3cli-user-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Ran run(std::vector<std::string> args) {
        args.insert(args.begin(), KAVO3CLI);
        Ran r;
        r.exit = testing::runProcess(args, dir_ / "out", dir_ / "err");
        r.out = contentsOf(dir_ / "out");
        r.err = contentsOf(dir_ / "err");
        return r;
    }
    std::string file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return (dir_ / name).string();
    }

    fs::path dir_;
};

// What the simulated unit's flash holds before anything is written: its pseudo-random
// stretch, computed here on its own so that a verify that agrees proves the unit's sum.
std::vector<std::uint8_t> freshFlash(std::size_t length) {
    constexpr std::size_t kStretch = 64 * 1024;  // repeated over the whole flash
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t state = 0x4B41564Fu;
    for (std::size_t i = 0; i < length; ++i) {
        if (i < kStretch) {
            state = state * 1664525u + 1013904223u;
            bytes[i] = static_cast<std::uint8_t>(state >> 24);
        } else {
            bytes[i] = bytes[i - kStretch];
        }
    }
    return bytes;
}

// The part of JSON Schema the published schema uses: type, enum, required, properties,
// additionalProperties, items and $ref into $defs. Returns where `value` breaks it, or "".
std::string violation(const json& value, const json& schema, const json& root,
                      const std::string& where) {
    if (schema.contains("$ref")) {
        const std::string ref = schema["$ref"];
        return violation(value, root["$defs"][ref.substr(ref.rfind('/') + 1)], root, where);
    }
    if (schema.contains("enum")) {
        for (const json& allowed : schema["enum"])
            if (allowed == value) return {};
        return where + ": " + value.dump() + " is not one of " + schema["enum"].dump();
    }
    if (schema.contains("type")) {
        const json types =
            schema["type"].is_array() ? schema["type"] : json::array({schema["type"]});
        bool fits = false;
        for (const std::string type : types)
            fits = fits || (type == "string" && value.is_string()) ||
                   (type == "integer" && value.is_number_integer()) ||
                   (type == "number" && value.is_number()) ||
                   (type == "boolean" && value.is_boolean()) ||
                   (type == "null" && value.is_null()) || (type == "object" && value.is_object()) ||
                   (type == "array" && value.is_array());
        if (!fits) return where + ": " + value.dump() + " is not of type " + types.dump();
    }
    if (value.is_object()) {
        for (const std::string name : schema.value("required", json::array()))
            if (!value.contains(name)) return where + ": no " + name;
        for (const auto& [name, item] : value.items()) {
            const json properties = schema.value("properties", json::object());
            json itemSchema;
            if (properties.contains(name))
                itemSchema = properties[name];
            else if (schema.contains("additionalProperties") &&
                     schema["additionalProperties"].is_object())
                itemSchema = schema["additionalProperties"];
            else if (schema.value("additionalProperties", true) == false)
                return where + ": " + name + " is not in the schema";
            else
                continue;
            if (auto bad = violation(item, itemSchema, root, where + "." + name); !bad.empty())
                return bad;
        }
    }
    if (value.is_array() && schema.contains("items"))
        for (std::size_t i = 0; i < value.size(); ++i)
            if (auto bad = violation(value[i], schema["items"], root,
                                     where + "[" + std::to_string(i) + "]");
                !bad.empty())
                return bad;
    return {};
}

json publishedSchema() { return json::parse(contentsOf(KAVO3_SCHEMA)); }

// Every subcommand's document parses, fits the schema, names its command and its exit status,
// and carries what that subcommand found.
TEST_F(UserTools, EverySubcommandsJsonFitsTheSchema) {
    const json schema = publishedSchema();
    const std::string image = file("image.bin", freshFlash(1000));
    const std::string timingA = (dir_ / "a.bin").string();
    struct Case {
        std::vector<std::string> args;
        int exit;
        std::string command;
        std::vector<std::string> fields;
    };
    const std::vector<Case> cases{
        {{"--sim=units=2", "list", "--check"}, 0, "list", {"units"}},
        {{"--sim", "status"}, 0, "status", {"unit", "connection"}},
        {{"--sim", "doctor"}, 0, "doctor", {"findings", "would_work"}},
        {{"--sim", "download", image}, 0, "download", {"file", "address", "length", "results"}},
        {{"--sim=units=2", "download", image, "--all"}, 0, "download", {"results", "verdict"}},
        {{"--sim", "verify", image, "--address", "0"}, 0, "verify", {"file_sum", "results"}},
        {{"--sim", "timing", "show"}, 0, "timing show", {"parameters"}},
        {{"--sim", "timing", "set", "h2pos=5"}, 0, "timing set", {"changes"}},
        {{"--sim", "timing", "save", timingA}, 0, "timing save", {"file", "length"}},
        {{"--sim", "timing", "load", timingA}, 0, "timing load", {"parameters", "windows_written"}},
        {{"timing", "show", timingA}, 0, "timing show", {"file", "parameters"}},
        {{"timing", "diff", timingA, timingA}, 0, "timing diff", {"differences", "verdict"}},
        {{"--sim=size=128x101", "capture", (dir_ / "f.png").string()},
         0,
         "capture",
         {"file", "format", "width", "height"}},
        {{"--sim", "key", "video1"}, 0, "key", {"key"}},
        {{"key", "--list"}, 0, "key", {"keys"}},
        {{"--sim", "freeze", "off"}, 0, "freeze", {"frozen"}},
        {{"--sim=unplug=0", "status"}, 2, "status", {"connection"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const Ran r = run(args);
        SCOPED_TRACE(args[1] + " " + (args.size() > 2 ? args[2] : "") + "\n" + r.out + r.err);
        EXPECT_EQ(r.exit, c.exit);
        const json doc = json::parse(r.out);  // nothing else on standard output
        EXPECT_EQ(violation(doc, schema, schema, "$"), "");
        EXPECT_EQ(doc["command"], c.command);
        EXPECT_EQ(doc["exit"], c.exit);
        for (const std::string& field : c.fields) EXPECT_TRUE(doc.contains(field)) << field;
    }
}

// A file the unit holds agrees, one it does not differs, and a unit that leaves or falls
// silent during the checksum is no verdict at all; nothing is erased or written.
TEST_F(UserTools, VerifyAgreesDiffersOrHasNoUnit) {
    const std::string fresh = file("fresh.bin", freshFlash(70000));
    std::vector<std::uint8_t> other = freshFlash(70000);
    other[69999] ^= 0x01;
    const std::string changed = file("changed.bin", other);
    struct Case {
        std::string sim, file;
        int exit;
        std::string verdict;
    };
    for (const Case& c : std::vector<Case>{{"--sim", fresh, 0, "agree"},
                                           {"--sim", changed, 4, "differ"},
                                           {"--sim=unplug=2", fresh, 2, "gone"},
                                           {"--sim=noanswer=1", fresh, 2, "gone"},
                                           {"--sim=polls=never", fresh, 5, "never ready"}}) {
        const std::string trace = (dir_ / "trace.txt").string();
        fs::remove(trace);
        const Ran r = run({c.sim, "--trace", trace, "verify", c.file, "--address", "0", "--json"});
        SCOPED_TRACE(c.sim + " " + c.file + "\n" + r.out + r.err);
        EXPECT_EQ(r.exit, c.exit);
        const json doc = json::parse(r.out);
        EXPECT_EQ(doc["verdict"], c.verdict);
        EXPECT_EQ(doc["length"], 70000);
        // Only the connection check, the checksum request and status polls went out.
        std::ifstream lines(trace);
        for (std::string line; std::getline(lines, line);) {
            const auto out = line.find(" OUT 00 ");
            if (out == std::string::npos) continue;
            const std::string code = line.substr(out + 8, 2);
            EXPECT_TRUE(code == "02" || code == "06" || code == "00") << line;
        }
    }
    // Several units, one after the other, each with its verdict.
    const Ran many = run({"--sim=units=3", "verify", fresh, "--address", "0", "--all"});
    EXPECT_EQ(many.exit, 0) << many.err;
    EXPECT_EQ(std::count(many.out.begin(), many.out.end(), '\n'), 3) << many.out;
}

// One line per unit, with what the USB device says and who holds it; --check asks it.
TEST_F(UserTools, ListNamesEveryUnitAndWhoHoldsIt) {
    Ran r = run({"--sim=units=2,extra=2", "list", "--check"});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    EXPECT_NE(r.out.find("usb-sim-1.2/input0  sim/unit2/hidraw"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("17a7:0001  v1.11  \"kavo3tool simulation\" \"KAVO-3 (simulated)\" "
                         "serial SIM2  free, check answered"),
              std::string::npos)
        << r.out;

    r = run({"--sim=busy=1", "list", "--json"});
    EXPECT_EQ(r.exit, 0) << r.err;
    const json unit = json::parse(r.out)["units"][0];
    EXPECT_EQ(unit["in_use"], true);
    EXPECT_EQ(unit["holder"]["pid"], 1);

    r = run({"--sim=zeros", "list", "--check"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_NE(r.out.find("check silent"), std::string::npos) << r.out;
    r = run({"--sim=unplug=0", "list"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "");
}

// A mistyped or foreign word is answered with the word meant; help answers for each
// subcommand.
TEST_F(UserTools, MistakesAreAnsweredWithWhatWasMeant) {
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    for (const Case& c : std::vector<Case>{
             {{"flash", "fw.bin"}, "did you mean download?"},
             {{"--sim", "statsu"}, "did you mean status?"},
             {{"timing", "shwo"}, "did you mean show?"},
             {{"download", "--adress", "0", "x.bin"}, "did you mean --address?"},
             {{"--trace", "t.txt", "verfy", "x.bin"}, "did you mean verify?"},
             {{"help", "dowload"}, "did you mean download?"},
         }) {
        const Ran r = run(c.args);
        EXPECT_EQ(r.exit, 64) << c.args[0];
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.args[0] << ": " << r.err;
    }
    Ran r = run({"help", "timing", "set"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.out.find("clamp_width  0..255"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("pv1size      0..4095"), std::string::npos) << r.out;
    r = run({"help"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.out.find("verify"), std::string::npos);
    // The switches only the tool's own tests need are apart from those a user tries.
    const std::size_t apart = r.out.find("Switches for the tests");
    ASSERT_NE(apart, std::string::npos);
    EXPECT_GT(r.out.find("unchecked"), apart);
    EXPECT_LT(r.out.find("noanswer"), apart);
    // Sizes with K and M: 64K is under the download area, 4M takes the file.
    const std::string image = file("image.bin", std::vector<std::uint8_t>(100, 1));
    EXPECT_EQ(run({"download", image, "--flash-size", "64K"}).exit, 64);
    EXPECT_EQ(run({"download", image, "--flash-size", "3M"}).exit, 64);  // not a power of two
    EXPECT_EQ(run({"--sim", "download", image, "--flash-size", "4M"}).exit, 0);
}

// Timing files compared and shown without a unit: the fourteen values as a load would read
// them.
TEST_F(UserTools, TimingFilesOffline) {
    std::vector<std::uint8_t> a(257, 0), b(257, 0);
    a[2] = 0x10, a[4] = 0x01;  // h2pos 272
    b[2] = 0x10, b[4] = 0x02;  // h2pos 528
    b[50] = 7;                 // vsw 7
    const std::string fa = file("a.bin", a), fb = file("b.bin", b);
    Ran r = run({"timing", "show", fb});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("h2pos        528\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("vsw          7\n"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 14);
    r = run({"timing", "diff", fa, fb});
    EXPECT_EQ(r.exit, 4);
    EXPECT_EQ(r.out, "h2pos        272 -> 528\nvsw          0 -> 7\n");
    EXPECT_EQ(run({"timing", "diff", fa, fa}).exit, 0);
    EXPECT_EQ(run({"timing", "show", file("short.bin", std::vector<std::uint8_t>(100))}).exit, 3);
}

// A PNG capture holds the same picture as the BMP one, pixel for pixel.
TEST_F(UserTools, PngCaptureReadsBackAsTheBitmap) {
    ASSERT_EQ(run({"--sim=size=300x200", "capture", (dir_ / "f.png").string()}).exit, 0);
    ASSERT_EQ(run({"--sim=size=300x200", "capture", (dir_ / "f.bmp").string()}).exit, 0);
    EXPECT_EQ(contentsOf(dir_ / "f.png").substr(1, 3), "PNG");
    int w = 0, h = 0, n = 0, bw = 0, bh = 0, bn = 0;
    stbi_uc* png = stbi_load((dir_ / "f.png").c_str(), &w, &h, &n, 3);
    stbi_uc* bmp = stbi_load((dir_ / "f.bmp").c_str(), &bw, &bh, &bn, 3);
    ASSERT_TRUE(png && bmp);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 200);
    EXPECT_EQ(std::vector<stbi_uc>(png, png + w * h * 3),
              std::vector<stbi_uc>(bmp, bmp + bw * bh * 3));
    stbi_image_free(png);
    stbi_image_free(bmp);
}

}  // namespace
}  // namespace kavo3::cli
