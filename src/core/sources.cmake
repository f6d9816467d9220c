target_sources(tarvell_logic PRIVATE
  core/uDownload.cpp core/uDownload.h
  core/uCodePage.cpp core/uCodePage.h core/uCodePageTables.inc
  core/uDeviceFolder.cpp core/uDeviceFolder.h
  core/uGeneral.cpp core/uGeneral.h
  core/uLocations.cpp core/uLocations.h
  core/uOptionSource.cpp core/uOptionSource.h
  core/uRapi.cpp core/uRapi.h
  core/uScopeGuard.h
  core/uSettings.cpp core/uSettings.h
  core/uSettingsStore.cpp core/uSettingsStore.h
  core/uStream.cpp core/uStream.h
  core/uXmlDocument.cpp core/uXmlDocument.h
  core/uXmlStream.cpp core/uXmlStream.h
)
