target_sources(doryou_widgets PRIVATE
  input/InputListing.cpp
)
