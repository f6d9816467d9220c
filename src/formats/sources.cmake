target_sources(tarvell_logic PRIVATE
  formats/uConvertBase.cpp formats/uConvertBase.h
  formats/uFormats.cpp formats/uFormats.h
  formats/uExcelXml.cpp formats/uExcelXml.h
  formats/uGpx.cpp formats/uGpx.h
  formats/uKml.cpp formats/uKml.h
  formats/uTomTomItn.cpp formats/uTomTomItn.h
  formats/uTomTomCfg.cpp formats/uTomTomCfg.h
  formats/uAscii.cpp formats/uAscii.h
  formats/uCommaSeparated.cpp formats/uCommaSeparated.h
)
