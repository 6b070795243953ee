# Favourites and forbiddens: a short fuzz run of their stored records and of the loads, and the
# check of its seed corpus.
quorbel_fuzz_run(favorite_records)

# The committed seed corpus is exactly what its generator writes.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
    set(QUORBEL_FAVORITE_CORPUS_CHECK ${CMAKE_BINARY_DIR}/fuzz_work/favorite_records_corpus)
    add_test(NAME data.favorite_records_corpus
        COMMAND sh -c "rm -rf \"$1\" && \"$0\" \"$2\" \"$1\" && diff -r \"$1\" \"$3\""
                ${Python3_EXECUTABLE} ${QUORBEL_FAVORITE_CORPUS_CHECK}
                ${CMAKE_SOURCE_DIR}/fuzz/make_favorite_records_corpus.py
                ${CMAKE_SOURCE_DIR}/fuzz/corpus/favorite_records)
    set_tests_properties(data.favorite_records_corpus PROPERTIES LABELS data)
endif()
