# Lab tests: a test that runs inside a network lab of namespaces with simulated access points.
#
# farlight_add_lab_test(NAME <name> CONFIG <apsim-config.json> COMMAND <cmd> [args...]
#                       [SECOND_ADAPTER] [LABELS <labels...>] [REQUIRES <debian-packages...>] [TIMEOUT <s>])
#
# The test runs lab/with-lab.sh: it creates the lab (with a second workstation adapter on request),
# starts apsim with CONFIG in the device namespace, runs COMMAND in the workstation namespace with
# the FARLIGHT_LAB_* variables (lab/README.md), removes the lab whatever happened, and passes on
# COMMAND's exit status. COMMAND may name a target (an executable built here, a Qt Test for
# instance); a relative CONFIG is taken from the calling folder. The test fails at once when a
# REQUIRES package is missing (scripts/setup.sh installs them; a test installs nothing). Every lab
# test has the label "lab", needs root, and is followed by lab_leaves_nothing, which checks that
# nothing is left.
include_guard(GLOBAL)

if(NOT LINUX)
    # Labs are built from Linux network namespaces; elsewhere lab tests are not registered.
    function(farlight_add_lab_test)
    endfunction()
    return()
endif()

get_filename_component(FARLIGHT_LAB_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/../../lab ABSOLUTE)
set(FARLIGHT_LAB_REGISTRY ${CMAKE_BINARY_DIR}/lab-registry)
set(FARLIGHT_LAB_DEFAULT_TIMEOUT 180)

# Runs first: checks that what the labs need is installed, removes stale labs, and starts a fresh
# record of the labs this run creates.
add_test(NAME lab_prepare COMMAND ${FARLIGHT_LAB_SCRIPTS}/prepare.sh --registry ${FARLIGHT_LAB_REGISTRY})
set_tests_properties(lab_prepare PROPERTIES FIXTURES_SETUP farlight_lab LABELS lab TIMEOUT 600)

# Runs last: no namespace, link, simulator or temporary folder of this run's labs may remain.
add_test(NAME lab_leaves_nothing COMMAND ${FARLIGHT_LAB_SCRIPTS}/check-clean.sh --registry ${FARLIGHT_LAB_REGISTRY})
set_tests_properties(lab_leaves_nothing PROPERTIES FIXTURES_CLEANUP farlight_lab LABELS lab TIMEOUT 60)

function(farlight_add_lab_test)
    cmake_parse_arguments(T "SECOND_ADAPTER" "NAME;CONFIG;TIMEOUT" "COMMAND;LABELS;REQUIRES" ${ARGN})
    if(NOT T_NAME OR NOT T_CONFIG OR NOT T_COMMAND)
        message(FATAL_ERROR "farlight_add_lab_test needs NAME, CONFIG and COMMAND")
    endif()
    if(T_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "farlight_add_lab_test(${T_NAME}): unexpected arguments ${T_UNPARSED_ARGUMENTS}")
    endif()
    get_filename_component(config ${T_CONFIG} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})

    list(POP_FRONT T_COMMAND program)
    if(TARGET ${program})
        set(program $<TARGET_FILE:${program}>)
    endif()

    set(lab_args --apsim $<TARGET_FILE:apsim> --config ${config})
    if(T_SECOND_ADAPTER)
        list(APPEND lab_args --second-adapter)
    endif()
    foreach(package IN LISTS T_REQUIRES)
        list(APPEND lab_args --require ${package})
    endforeach()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT ${FARLIGHT_LAB_DEFAULT_TIMEOUT})
    endif()

    add_test(NAME ${T_NAME} COMMAND ${FARLIGHT_LAB_SCRIPTS}/with-lab.sh ${lab_args} -- ${program} ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS "lab;${T_LABELS}"
        FIXTURES_REQUIRED farlight_lab
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;FARLIGHT_LAB_REGISTRY=${FARLIGHT_LAB_REGISTRY}")
endfunction()
