# A short fuzz run of the settings file's reader (the unit tests are tests/test_conf_file.cpp).
quorbel_fuzz_run(conf MAX_LEN 4096)
