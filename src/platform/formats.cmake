# Lexicon files in other encodings (UTF-8, UTF-16) and the term-list formats of translation
# tools (.tsv, .csv, .tbx): Qt Core only, so qblex and the windows share one reader and writer.
add_library(qb_formats STATIC LexiconFormats.cpp TermFormats.cpp)
add_library(qb::formats ALIAS qb_formats)
target_include_directories(qb_formats PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qb_formats PUBLIC qb_gbk qb_lexicon Qt6::Core qb_settings)
