# A static Qt links only its default plugins (here the windows platform and the
# WindowsVista style; Fusion and Windows are part of Qt Widgets). Every program and window test
# also gets the offscreen platform, on which the tests run, and no image format plugins, since
# nothing here reads an image file.
function(kavo3_import_static_qt_plugins dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            qt_import_plugins(${target}
                INCLUDE Qt6::QOffscreenIntegrationPlugin
                EXCLUDE_BY_TYPE imageformats)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        kavo3_import_static_qt_plugins(${subdir})
    endforeach()
endfunction()
