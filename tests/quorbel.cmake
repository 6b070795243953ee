# The native layer's unit tests (its command line and records folder), label native.
if(TARGET quorbel_native)
    add_executable(quorbel_native_tests quorbel/test_native_layer.cpp quorbel/test_frame_pacer.cpp)
    target_compile_options(quorbel_native_tests PRIVATE ${QUORBEL_WARNINGS})
    target_link_libraries(quorbel_native_tests PRIVATE quorbel_native GTest::gtest
                          GTest::gtest_main)
    target_compile_definitions(quorbel_native_tests PRIVATE
        QUORBEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    gtest_discover_tests(quorbel_native_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES ${QUORBEL_UNIT_TEST_PROPERTIES})
endif()

# The native program quorbel run for real under private Xvfb displays (tests/quorbel/), one
# ctest per case, label "quorbel". Registered where the program is built and Xvfb is there,
# also in the sanitizer builds: there the runtimes are told to pass over what the libraries the
# program loads report of themselves (tests/sanitizers/, each entry naming its library), and
# a finding in our own code ends the run with a status that is not 0 (or 2, where that is
# awaited), which fails the test.
if(TARGET quorbel)
    # The runtimes' options themselves come from tests/CMakeLists.txt (which sets them on every
    # test last); test_quorbel.py adds the suppressions to quorbel's own runs.
    set(QUORBEL_PROGRAM_ENVIRONMENT "")
    if(QUORBEL_SANITIZE STREQUAL "address")
        set(QUORBEL_PROGRAM_ENVIRONMENT
            "QUORBEL_TEST_LSAN_SUPPRESSIONS=${CMAKE_CURRENT_SOURCE_DIR}/sanitizers/lsan.supp")
        # Mesa's software driver, which SDL's renderer loads, is unloaded at the end with
        # allocations that only its own data points to: kept loaded in quorbel's runs (only
        # theirs: test_quorbel.py hands it to quorbel as LD_PRELOAD), what it holds stays
        # reachable instead of being reported from a module that is no longer there.
        find_file(QUORBEL_MESA_SOFTWARE_DRIVER swrast_dri.so
                  PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib/dri NO_DEFAULT_PATH)
        if(QUORBEL_MESA_SOFTWARE_DRIVER)
            list(APPEND QUORBEL_PROGRAM_ENVIRONMENT
                 "QUORBEL_TEST_PRELOAD=${QUORBEL_MESA_SOFTWARE_DRIVER}")
        endif()
    elseif(QUORBEL_SANITIZE STREQUAL "thread")
        set(QUORBEL_PROGRAM_ENVIRONMENT
            "QUORBEL_TEST_TSAN_SUPPRESSIONS=${CMAKE_CURRENT_SOURCE_DIR}/sanitizers/tsan.supp")
    endif()
    # One case of quorbel's program tests: CASE of the test class CLASS with its LABELS, any
    # further environment after them, and the sanitizer builds' environment for quorbel's runs.
    function(add_quorbel_run case class labels)
        add_test(NAME quorbel.${case}
                 COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/quorbel/test_quorbel.py
                         $<TARGET_FILE:quorbel> ${class}.test_${case})
        set_tests_properties(quorbel.${case} PROPERTIES LABELS "${labels}" TIMEOUT 300)
        set(environment ${ARGN} ${QUORBEL_PROGRAM_ENVIRONMENT})
        if(environment)
            set_tests_properties(quorbel.${case} PROPERTIES ENVIRONMENT "${environment}")
        endif()
    endfunction()
    find_program(QUORBEL_XVFB Xvfb)
    find_package(Python3 COMPONENTS Interpreter)
    if(QUORBEL_XVFB AND Python3_FOUND)
        foreach(case
                demo_captures_frames_that_are_not_blank
                png_and_bmp_captures_hold_the_same_frame
                the_frame_fills_the_window_by_whole_factors_with_its_aspect
                a_window_smaller_than_the_frame_shows_it_shrunk_with_its_aspect
                beats_drive_random_changes_and_silence_does_not
                keys_drive_effects
                favourite_added_with_ctrl_m_is_kept_and_recalled
                a_favourite_that_cannot_be_stored_is_said_and_counted
                full_screen_toggles_and_ctrl_s_takes_a_shot
                play_shows_a_file_with_its_beats_and_title
                settings_round_trip_and_save_on_exit
                corrupt_conf_lines_are_reported_and_the_defaults_used
                a_file_that_is_not_sound_is_one_line_and_status_2
                no_display_is_one_line_and_status_2
                bad_command_lines_and_help)
            add_quorbel_run(${case} Run quorbel)
        endforeach()
        # What a new user meets (settings file, data folders, sound files, captures, full
        # screen without a window manager); write_sound makes their FLAC and Ogg files.
        add_executable(quorbel_write_sound quorbel/write_sound.cpp)
        target_link_libraries(quorbel_write_sound PRIVATE quorbel_native)
        foreach(case
                a_start_never_rewrites_the_settings_file
                save_on_exit_keeps_comments_unknown_lines_and_order
                a_data_folder_that_cannot_be_written_falls_back_to_the_installed_data
                without_home_nothing_is_written_into_the_current_folder
                files_that_are_not_sound_say_what_is_wrong
                a_long_file_is_read_as_it_plays
                captures_that_cannot_be_written_are_errors
                full_screen_without_a_window_manager_fills_the_screen
                help_is_the_programs_own)
            add_quorbel_run(${case} NewUser quorbel
                            "QUORBEL_WRITE_SOUND=$<TARGET_FILE:quorbel_write_sound>")
        endforeach()
        # System sound: each test starts a private PulseAudio server with a null sink.
        find_program(QUORBEL_PULSEAUDIO pulseaudio)
        find_program(QUORBEL_PAPLAY paplay)
        get_property(QUORBEL_NATIVE_PULSE GLOBAL PROPERTY QUORBEL_NATIVE_PULSE)
        if(QUORBEL_PULSEAUDIO AND QUORBEL_PAPLAY AND QUORBEL_NATIVE_PULSE)
            foreach(case
                    system_sound_sees_the_beats_and_silence_none
                    a_chosen_source_and_the_list_of_sources
                    an_unknown_source_is_status_2_with_the_sources_listed
                    a_source_that_comes_and_goes_is_said_and_captured_while_it_is_there
                    a_stopped_server_is_said_once_and_closing_still_ends_the_program
                    a_suspended_source_keeps_the_frame_rate_on_silence
                    no_sound_server_falls_back_to_the_demo_track)
                add_quorbel_run(${case} SystemSound "quorbel;pulse")
            endforeach()
            # Song titles: a private session bus and a media player of the tests' own on it.
            find_program(QUORBEL_DBUS_DAEMON dbus-daemon)
            get_property(QUORBEL_NATIVE_MPRIS GLOBAL PROPERTY QUORBEL_NATIVE_MPRIS)
            if(QUORBEL_DBUS_DAEMON AND QUORBEL_NATIVE_MPRIS)
                add_executable(quorbel_fake_mpris quorbel/fake_mpris.cpp)
                target_link_libraries(quorbel_fake_mpris PRIVATE PkgConfig::QUORBEL_SYSTEMD)
                foreach(case titles_of_the_playing_player_follow_the_song
                             a_player_that_never_answers_costs_the_frames_nothing
                             no_player_and_no_bus_give_no_title)
                    add_quorbel_run(${case} SongTitles "quorbel;pulse"
                                    "QUORBEL_FAKE_MPRIS=$<TARGET_FILE:quorbel_fake_mpris>")
                endforeach()
            endif()
        else()
            message(STATUS "quorbel's system-sound tests need pulseaudio, paplay and libpulse: "
                           "not registered")
        endif()
    else()
        message(STATUS "quorbel's tests need Xvfb and Python 3: not registered")
    endif()
endif()
