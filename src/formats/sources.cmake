target_sources(tarvell_logic PRIVATE
  formats/uConvertBase.cpp formats/uConvertBase.h
  formats/uFormats.cpp formats/uFormats.h
  formats/uTomTom.cpp formats/uTomTom.h
  formats/uExcelXml.cpp formats/uExcelXml.h
  formats/uGpx.cpp formats/uGpx.h
  formats/uKml.cpp formats/uKml.h
  formats/uTomTomItn.cpp formats/uTomTomItn.h
  formats/uTomTomCfg.cpp formats/uTomTomCfg.h
  formats/uSmartpath.cpp formats/uSmartpath.h
  formats/uAscii.cpp formats/uAscii.h
  formats/uCommaSeparated.cpp formats/uCommaSeparated.h
  formats/uDestinatorDat.cpp formats/uDestinatorDat.h
  formats/uGarminGdb.cpp formats/uGarminGdb.h
  formats/uMitac.cpp formats/uMitac.h
  formats/uMioMapV3.cpp formats/uMioMapV3.h
  formats/uParallel.cpp formats/uParallel.h
)
