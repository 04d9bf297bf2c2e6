# qb_imewin: the composition box (CompoUnit), the candidate window (CandidatsUnit) and the
# controller the main window forwards its target-pane keys to (Qt Widgets).
add_library(qb_imewin STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CompoUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CandidatsUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImeController.cpp
)
add_library(qb::imewin ALIAS qb_imewin)
target_include_directories(qb_imewin PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(qb_imewin PUBLIC qb_ime qb_gbk qb_vkeys Qt6::Widgets qb_settings)
