target_sources(tarvell_logic PRIVATE
  formats/uConvertBase.cpp formats/uConvertBase.h
  formats/uFormats.cpp formats/uFormats.h
)
