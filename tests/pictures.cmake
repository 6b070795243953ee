# Pictures and song text: short fuzz runs of reading a picture for the frame and of taking a
# player title apart. Every picture input is a file written and read back: fewer runs in the
# same time.
quorbel_fuzz_run(picture RUNS 12000 MAX_LEN 4096)
quorbel_fuzz_run(song_title RUNS 200000 MAX_LEN 1100)
