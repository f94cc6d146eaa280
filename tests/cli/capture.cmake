# capture: a frame saved as the window saves it; the frame or the unit's setting refused.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

run_cli(EXIT 0 ARGS --sim=size=718x480 --trace wire.txt capture frame.bmp)
expect_match("${cli_out}" "画面情報：水平SIZE= 720dot , 垂直SIZE= 480dot , RGB　24bit" "size text")
expect_size(frame.bmp 1036854)
file(READ "${WORK}/frame.bmp" header LIMIT 26 HEX)
# "BM", the file size, 720 wide and -480 high (top-down rows).
expect_match("${header}" "^424d36d20f00000000003600000028000000d002000020feffff$" "bitmap header")
read_trace(wire.txt wire)
# Frozen for the capture, released afterwards as the unit was before.
expect_match("${wire}" "^OUT 00 02[^\n]*\nIN [^\n]*\nOUT 00 14[^\n]*\nIN [^\n]*\nOUT 00 16 01" "freeze before")
expect_match("${wire}" "OUT 00 16 00[^\n]*\nIN [^\n]*$" "freeze restored")

run_cli(EXIT 0 ARGS --sim=size=128x101 capture frame --leave-frozen --trace frozen.txt)
expect_size(frame.bmp 38838)
expect_match("${cli_err}" "writing a BMP as frame.bmp" "the BMP's name told")
read_trace(frozen.txt wire)
expect_match("${wire}" "OUT 00 16 01[^\n]*\nIN [^\n]*$" "left frozen")

run_cli(EXIT 6 ARGS --sim=noinput capture rejected.bmp)
expect_match("${cli_out}" "入力映像が無いか、不適切です。" "rejected text")
expect_absent(rejected.bmp)
run_cli(EXIT 7 ARGS --sim=fpga=1 capture other.bmp)
expect_absent(other.bmp)
run_cli(EXIT 1 ARGS --sim capture no-such-folder/frame.bmp)
# A unit that leaves mid-frame gives black lines, which must not pass for its picture.
run_cli(EXIT 2 ARGS --sim=unplug=20 capture gone.bmp)
expect_absent(gone.bmp)
