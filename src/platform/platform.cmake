# The platform layer proper: the pane model over QPlainTextEdit, the settings store, single
# instance, dialogs and message boxes behind one seam, fonts, termination signals, busy pointer.
add_library(qb_platform STATIC
  PaneModel.cpp
  PaneStore.cpp
  SettingsStore.cpp
  SingleInstance.cpp
  Dialogs.cpp
  Fonts.cpp
  Termination.cpp
  UserFolders.cpp)
add_library(qb::platform ALIAS qb_platform)
target_include_directories(qb_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qb_platform PUBLIC qb_gbk Qt6::Widgets Qt6::Network qb_settings)
target_compile_definitions(qb_platform PRIVATE QT_NO_KEYWORDS)
