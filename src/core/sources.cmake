target_sources(tarvell_logic PRIVATE
  core/uDownload.cpp core/uDownload.h
  core/uCodePage.cpp core/uCodePage.h core/uCodePageTables.inc
  core/uGeneral.cpp core/uGeneral.h
  core/uSettings.cpp core/uSettings.h
  core/uSettingsStore.cpp core/uSettingsStore.h
  core/uStream.cpp core/uStream.h
  core/uXmlDocument.cpp core/uXmlDocument.h
)
