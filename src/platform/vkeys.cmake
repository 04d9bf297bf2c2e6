# The virtual-key map (Qt key event -> US-layout key code); kept by the input-method code's author.
add_library(qb_vkeys STATIC ${CMAKE_CURRENT_LIST_DIR}/VirtualKeyMap.cpp)
add_library(qb::vkeys ALIAS qb_vkeys)
target_include_directories(qb_vkeys PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# KeyTables.h (the modifier set and key codes) lives with the input method; header only here.
target_include_directories(qb_vkeys PUBLIC ${PROJECT_SOURCE_DIR}/src/ime)
target_link_libraries(qb_vkeys PUBLIC Qt6::Gui qb_settings)
