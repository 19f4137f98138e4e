target_sources(doryou_widgets PRIVATE
  app/AppSetup.cpp
  app/DataForm.cpp
  app/MainUnit.cpp
  app/MessageBoxes.cpp
  app/NaviPictures.cpp
)
