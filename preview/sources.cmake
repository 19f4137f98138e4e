target_sources(doryou_widgets PRIVATE
  preview/MetafileEx.cpp
  preview/MetafileExImages.cpp
  preview/MetafileExReader.cpp
  preview/NlvTools.cpp
  preview/OutputDevice.cpp
  preview/PREVIEWUNIT02.cpp
  preview/PREVIEWUNIT02Print.cpp
  preview/PreviewCountUnit.cpp
  preview/PrintGoUnit.cpp
  preview/PrintLayout.cpp
  preview/PREVIEWUNIT02Base.cpp
  preview/PREVIEWUNIT02Header.cpp
  preview/PREVIEWUNIT02Setup.cpp
  preview/PREVIEWUNIT02Sumnail.cpp
  preview/PREVIEWUNIT02View.cpp
  preview/PREVIEWUNIT02Window.cpp
  preview/PreviewPrinter.cpp
  preview/PreviewSetup02Fonts.cpp
  preview/PreviewSetup02Unit.cpp
)

# The margin diagrams of the page setup, packed into one picture resource "YOHAKU_IMAGE".
add_executable(doryou_pack_images preview/PackMetaImages.cpp)
set(yohaku_pictures)
foreach(i 0 1 2 3 4 5)
  list(APPEND yohaku_pictures ${CMAKE_CURRENT_SOURCE_DIR}/preview/images/yohaku${i}.svg)
endforeach()
set(yohaku_resource ${CMAKE_CURRENT_BINARY_DIR}/preview-images/YOHAKU_IMAGE)
add_custom_command(OUTPUT ${yohaku_resource}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/preview-images
  COMMAND doryou_pack_images ${yohaku_resource} ${yohaku_pictures}
  DEPENDS doryou_pack_images ${yohaku_pictures})
# A resource file of its own, compiled into the library; the resource registers itself on the
# first load (Q_INIT_RESOURCE), as a static library's resources must.
set(yohaku_qrc ${CMAKE_CURRENT_BINARY_DIR}/preview-images/preview_images.qrc)
file(WRITE ${yohaku_qrc}.in
  "<RCC><qresource prefix=\"/\"><file>YOHAKU_IMAGE</file></qresource></RCC>\n")
configure_file(${yohaku_qrc}.in ${yohaku_qrc} COPYONLY)
set(yohaku_cpp ${CMAKE_CURRENT_BINARY_DIR}/preview-images/qrc_preview_images.cpp)
add_custom_command(OUTPUT ${yohaku_cpp}
  COMMAND Qt6::rcc --name preview_images --output ${yohaku_cpp} ${yohaku_qrc}
  DEPENDS ${yohaku_qrc} ${yohaku_resource})
target_sources(doryou_widgets PRIVATE ${yohaku_cpp})
set_source_files_properties(${yohaku_cpp} PROPERTIES SKIP_AUTOGEN ON)
