target_sources(doryou_widgets PRIVATE
  preview/MetafileEx.cpp
  preview/NlvTools.cpp
  preview/PREVIEWUNIT02.cpp
  preview/PREVIEWUNIT02Base.cpp
  preview/PREVIEWUNIT02Header.cpp
  preview/PREVIEWUNIT02Sumnail.cpp
  preview/PREVIEWUNIT02View.cpp
  preview/PREVIEWUNIT02Window.cpp
  preview/PreviewPrinter.cpp
)
