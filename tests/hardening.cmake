# Tests of the converter against hostile input and with an independent DXF reader. Included at the
# end of tests/CMakeLists.txt, once the test executables exist.

# Debian's interpreter first: python3-ezdxf is a Debian package, and a python3 earlier on the PATH
# (a virtual environment, pyenv) may not see it.
find_program(ORBELIN_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT ORBELIN_PYTHON3)
    find_program(ORBELIN_PYTHON3 NAMES python3)
endif()
set(ORBELIN_EZDXF_AUDIT ${CMAKE_CURRENT_SOURCE_DIR}/ezdxf_audit.py)

if(TARGET native_curves_test)
    target_compile_definitions(native_curves_test PRIVATE ORBELIN_PYTHON3="${ORBELIN_PYTHON3}"
                                                          ORBELIN_EZDXF_AUDIT="${ORBELIN_EZDXF_AUDIT}"
                                                          ORBELIN_EZDXF_CURVES="${CMAKE_CURRENT_SOURCE_DIR}/ezdxf_curves.py")
endif()

if(TARGET hostile_test)
    target_compile_definitions(hostile_test PRIVATE ORBELIN_PYTHON3="${ORBELIN_PYTHON3}"
                                                    ORBELIN_EZDXF_AUDIT="${ORBELIN_EZDXF_AUDIT}")
endif()

# Every bundled drawing, converted by the command line and read back by ezdxf. The script skips
# (77) when ezdxf is not installed. Texts as glyph outlines are audited, by both readings, for the
# exact-mode drawings and the outlined-text ones as well.
if(ORBELIN_PYTHON3)
    file(GLOB ORBELIN_AUDIT_DRAWINGS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.svg
         ${CMAKE_CURRENT_SOURCE_DIR}/data/golden/*.svg)
    file(GLOB ORBELIN_OUTLINE_ONLY_DRAWINGS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/exact/*.svg
         ${CMAKE_CURRENT_SOURCE_DIR}/data/outlines/*.svg)
    foreach(svg ${ORBELIN_AUDIT_DRAWINGS} ${ORBELIN_OUTLINE_ONLY_DRAWINGS})
        get_filename_component(name ${svg} NAME_WE)
        get_filename_component(folder ${svg} DIRECTORY)
        get_filename_component(folder ${folder} NAME)
        set(fill)
        if(name MATCHES "-nofill$")
            set(fill --no-fill)
        endif()
        if(svg IN_LIST ORBELIN_AUDIT_DRAWINGS)
            add_test(NAME ezdxf_audit.${folder}.${name}
                     COMMAND ${ORBELIN_PYTHON3} ${ORBELIN_EZDXF_AUDIT} --convert $<TARGET_FILE:orbelin-convert>
                             ${fill} ${svg})
            set_tests_properties(ezdxf_audit.${folder}.${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
            # The same drawing written in every output unit.
            add_test(NAME ezdxf_audit_units.${folder}.${name}
                     COMMAND ${ORBELIN_PYTHON3} ${ORBELIN_EZDXF_AUDIT} --convert $<TARGET_FILE:orbelin-convert>
                             ${fill} --units mm,cm,in,px ${svg})
            set_tests_properties(ezdxf_audit_units.${folder}.${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
        endif()
        foreach(reading default exact)
            set(exact)
            if(reading STREQUAL "exact")
                set(exact --exact)
            endif()
            add_test(NAME ezdxf_audit_outlines.${reading}.${folder}.${name}
                     COMMAND ${ORBELIN_PYTHON3} ${ORBELIN_EZDXF_AUDIT} --convert $<TARGET_FILE:orbelin-convert>
                             ${fill} ${exact} --text outlines ${svg})
            set_tests_properties(ezdxf_audit_outlines.${reading}.${folder}.${name} PROPERTIES
                                 SKIP_RETURN_CODE 77 TIMEOUT 300)
        endforeach()
    endforeach()
    # Every bundled drawing with its curves written as curves, in both readings; the outlined-text
    # drawings with their glyphs' curves so as well.
    file(GLOB ORBELIN_NATIVE_AUDIT_DRAWINGS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.svg
         ${CMAKE_CURRENT_SOURCE_DIR}/data/golden/*.svg ${CMAKE_CURRENT_SOURCE_DIR}/data/exact/*.svg
         ${CMAKE_CURRENT_SOURCE_DIR}/data/outlines/*.svg)
    foreach(svg ${ORBELIN_NATIVE_AUDIT_DRAWINGS})
        get_filename_component(name ${svg} NAME_WE)
        get_filename_component(folder ${svg} DIRECTORY)
        get_filename_component(folder ${folder} NAME)
        set(fill)
        if(name MATCHES "-nofill$")
            set(fill --no-fill)
        endif()
        set(text)
        if(folder STREQUAL "outlines")
            set(text --text outlines)
        endif()
        add_test(NAME ezdxf_audit_native.${folder}.${name}
                 COMMAND ${ORBELIN_PYTHON3} ${ORBELIN_EZDXF_AUDIT} --convert $<TARGET_FILE:orbelin-convert> ${fill}
                         ${text} --curves native --both-readings ${svg})
        set_tests_properties(ezdxf_audit_native.${folder}.${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    endforeach()
else()
    message(STATUS "python3 not found: the ezdxf audits of the bundled drawings are not registered")
endif()
