<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
    <context>
        <name>LocUtils</name>
        <message>
            <source>Error populating menu</source>
            <translation>Fehler beim Füllen des Menüs</translation>
        </message>
        <message>
            <source>Preferred language not found, defaulting to English...</source>
            <translation>Bevorzugte Sprache nicht gefunden, es wird Englisch verwendet...</translation>
        </message>
        <message>
            <source>Error loading resource file %1</source>
            <translation>Fehler beim Laden der Ressourcendatei %1</translation>
        </message>
        <message>
            <source>Invalid resource file format %1</source>
            <translation>Ungültiges Format der Ressourcendatei %1</translation>
        </message>
        <message>
            <source>Can not get locale info</source>
            <translation>Gebietsschema-Informationen nicht verfügbar</translation>
        </message>
        <message>
            <source>Language %1</source>
            <translation>Sprache %1</translation>
        </message>
        <message>
            <source>Resource file %1 is not synhronized with executable.</source>
            <translation>Die Ressourcendatei %1 passt nicht zum Programm.</translation>
        </message>
        <message>
            <source>Build the language file again from the current translation sources.</source>
            <translation>Erstellen Sie die Sprachdatei neu aus den aktuellen Übersetzungsquellen.</translation>
        </message>
    </context>
    <context>
        <name>PluginUtils</name>
        <message>
            <source>Error during loading plugin dll library "%1": %2</source>
            <translation>Fehler beim Laden der Plugin-Bibliothek "%1": %2</translation>
        </message>
        <message>
            <source>Invalid plugin "%1" found in the Tarvell plugin directory</source>
            <translation>Ungültiges Plugin "%1" im Tarvell-Pluginverzeichnis gefunden</translation>
        </message>
        <message>
            <source>The plugin "%1" crashed while it was loaded and was left out</source>
            <translation>Das Plugin "%1" ist beim Laden abgestürzt und wurde ausgelassen</translation>
        </message>
        <message>
            <source>The plugin "%1" did not answer within 5 seconds while it was loaded and was left out</source>
            <translation>Das Plugin "%1" hat beim Laden nicht innerhalb von 5 Sekunden geantwortet und wurde ausgelassen</translation>
        </message>
        <message>
            <source>The plugin "%1" ended the test program with exit code %2 and was left out</source>
            <translation>Das Plugin "%1" hat das Prüfprogramm mit dem Exit-Code %2 beendet und wurde ausgelassen</translation>
        </message>
        <message>
            <source>The plugin "%1" could not be tested because "%2" did not start; it was left out</source>
            <translation>Das Plugin "%1" konnte nicht geprüft werden, weil "%2" nicht startete; es wurde ausgelassen</translation>
        </message>
        <message>
            <source>The plugin "%1" returned a text longer than %3 bytes from %2</source>
            <translation>Das Plugin "%1" hat aus %2 einen Text mit mehr als %3 Bytes geliefert</translation>
        </message>
        <message>
            <source>The plugin "%1" reports %2 parameters; 0 to 256 are allowed</source>
            <translation>Das Plugin "%1" meldet %2 Parameter; erlaubt sind 0 bis 256</translation>
        </message>
        <message>
            <source>The plugin "%1" reports %3 options for parameter %2; 0 to 4096 are allowed</source>
            <translation>Das Plugin "%1" meldet %3 Optionen für Parameter %2; erlaubt sind 0 bis 4096</translation>
        </message>
        <message>
            <source>The plugin "%1" uses the name "%2", which cannot be stored in the settings</source>
            <translation>Das Plugin "%1" verwendet den Namen "%2", der sich nicht in den Einstellungen speichern lässt</translation>
        </message>
        <message>
            <source>The plugin "%1" has the same name "%2" as the plugin "%3" and was left out</source>
            <translation>Das Plugin "%1" hat denselben Namen "%2" wie das Plugin "%3" und wurde ausgelassen</translation>
        </message>
        <message>
            <source>The plugin "%1" failed in %2</source>
            <translation>Das Plugin "%1" ist in %2 gescheitert</translation>
        </message>
        <message>
            <source>The plugin "%1" failed in %2: %3</source>
            <translation>Das Plugin "%1" ist in %2 gescheitert: %3</translation>
        </message>
        <message>
            <source>The plugin "%1" returned a text from %2 that runs into memory that cannot be read</source>
            <translation>Das Plugin "%1" hat aus %2 einen Text geliefert, der in nicht lesbaren Speicher reicht</translation>
        </message>
    </context>
    <context>
        <name>ShTrees</name>
        <message>
            <source>Home</source>
            <translation>Persönlicher Ordner</translation>
        </message>
        <message>
            <source>Desktop</source>
            <translation>Schreibtisch</translation>
        </message>
        <message>
            <source>File System</source>
            <translation>Dateisystem</translation>
        </message>
        <message>
            <source>Computer</source>
            <translation>Computer</translation>
        </message>
    </context>
    <context>
        <name>TConvertFromBase</name>
        <message>
            <source>Currently it is not possible to load files from this format (extension %1)</source>
            <translation>Dateien dieses Formats (Erweiterung %1) können derzeit nicht geladen werden</translation>
        </message>
    </context>
    <context>
        <name>TEntriesModel</name>
        <message>
            <source>Description</source>
            <translation>Beschreibung</translation>
        </message>
        <message>
            <source>Latitude</source>
            <translation>Breite</translation>
        </message>
        <message>
            <source>Longitude</source>
            <translation>Länge</translation>
        </message>
    </context>
    <context>
        <name>TFolderPickerForm</name>
        <message>
            <source>Select the folder where you want Tarvell to automatically update the selected poi files...</source>
            <translation>Wählen Sie den Ordner, in dem Tarvell die gewählten POI-Dateien automatisch aktualisieren soll...</translation>
        </message>
        <message>
            <source>Target file type:</source>
            <translation>Zieldateityp:</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
    </context>
    <context>
        <name>TMDIChild</name>
        <message>
            <source>Insert</source>
            <translation>Einfügen</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>Löschen</translation>
        </message>
        <message>
            <source>Rename Selected</source>
            <translation>Auswahl umbenennen</translation>
        </message>
        <message>
            <source>Commit to a site...</source>
            <translation>An eine Site senden...</translation>
        </message>
        <message>
            <source>Show map pane</source>
            <translation>Kartenbereich anzeigen</translation>
        </message>
        <message>
            <source>Close map pane</source>
            <translation>Kartenbereich schließen</translation>
        </message>
        <message>
            <source>Show</source>
            <translation>Anzeigen</translation>
        </message>
        <message>
            <source>Add</source>
            <translation>Hinzufügen</translation>
        </message>
        <message>
            <source>Show in</source>
            <translation>Anzeigen in</translation>
        </message>
        <message>
            <source>Add to</source>
            <translation>Hinzufügen zu</translation>
        </message>
        <message>
            <source>Cleaning up, please wait...</source>
            <translation>Aufräumen, bitte warten...</translation>
        </message>
        <message>
            <source>Changed</source>
            <translation>Geändert</translation>
        </message>
        <message>
            <source>The current data has changed. Do you want to save the changes?</source>
            <translation>Die aktuellen Daten wurden geändert. Möchten Sie die Änderungen speichern?</translation>
        </message>
        <message>
            <source>Enter the new description to apply to the selection</source>
            <translation>Geben Sie die neue Beschreibung für die Auswahl ein</translation>
        </message>
        <message>
            <source>%1 items</source>
            <translation>%1 Einträge</translation>
        </message>
        <message>
            <source>No sites detected that support committing of poi's. Please update the site you are trying to commit to by clicking "Update" in the AutoUpdate manager screen</source>
            <translation>Es wurden keine Seiten gefunden, die das Übermitteln von POIs unterstützen. Bitte aktualisieren Sie die Seite, an die Sie übermitteln möchten, mit „Aktualisieren“ im AutoUpdate-Manager</translation>
        </message>
        <message>
            <source>Internal Map</source>
            <translation>Interne Karte</translation>
        </message>
        <message>
            <source>Show in %1</source>
            <translation>In %1 anzeigen</translation>
        </message>
        <message>
            <source>Add to %1</source>
            <translation>Zu %1 hinzufügen</translation>
        </message>
        <message>
            <source>Could not add the poi to %1 because of the following error:<byte value="xd" />"%2"</source>
            <translation>Der POI konnte wegen des folgenden Fehlers nicht zu %1 hinzugefügt werden:<byte value="xd" />"%2"</translation>
        </message>
        <message>
            <source>MapPoint</source>
            <translation>MapPoint</translation>
        </message>
    </context>
    <context>
        <name>TQuorShellTreeView</name>
        <message>
            <source>Couldn't find folder</source>
            <translation>Ordner nicht gefunden</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>Öffnen</translation>
        </message>
    </context>
    <context>
        <name>TRegistryFunctions</name>
        <message>
            <source>Currently it is not possible to save files in this format (extension %1)</source>
            <translation>Dateien können derzeit nicht in diesem Format (Erweiterung %1) gespeichert werden</translation>
        </message>
    </context>
    <context>
        <name>TSiteXmlUpdater</name>
        <message>
            <source>Downloading...</source>
            <translation>Herunterladen...</translation>
        </message>
        <message>
            <source>Download cancelled by user</source>
            <translation>Download vom Benutzer abgebrochen</translation>
        </message>
    </context>
    <context>
        <name>TTreeViewCe</name>
        <message>
            <source>retrieving contents...</source>
            <translation>Inhalt wird gelesen...</translation>
        </message>
    </context>
    <context>
        <name>TUpdateRun</name>
        <message>
            <source>Cannot download "%1" because the following error: <byte value="xd" /><byte value="xd" />%2.<byte value="xd" /><byte value="xd" />Please check your internet connection. The sites status page on the Tarvell web site of Orvik Software shows whether a site is known to be down.</source>
            <translation>"%1" kann wegen des folgenden Fehlers nicht heruntergeladen werden: <byte value="xd" /><byte value="xd" />%2.<byte value="xd" /><byte value="xd" />Bitte prüfen Sie Ihre Internetverbindung. Die Seite zum Site-Status auf der Tarvell-Website von Orvik Software zeigt, ob eine Site bekanntermaßen ausgefallen ist.</translation>
        </message>
        <message>
            <source>Unable to download associated site xml</source>
            <translation>Die zugehörige Site-XML konnte nicht heruntergeladen werden</translation>
        </message>
        <message>
            <source>Progress: Waiting...</source>
            <translation>Fortschritt: Warten...</translation>
        </message>
        <message>
            <source>Target: %1</source>
            <translation>Ziel: %1</translation>
        </message>
        <message>
            <source>Status: %1</source>
            <translation>Status: %1</translation>
        </message>
        <message>
            <source>Waiting to be processed...</source>
            <translation>Wartet auf Bearbeitung...</translation>
        </message>
        <message>
            <source>Status: Failed "%1"</source>
            <translation>Status: Fehlgeschlagen „%1“</translation>
        </message>
        <message>
            <source>%1 updated</source>
            <translation>%1 aktualisiert</translation>
        </message>
        <message>
            <source>%1 already up-to-date</source>
            <translation>%1 bereits aktuell</translation>
        </message>
        <message>
            <source>%1 failed</source>
            <translation>%1 fehlgeschlagen</translation>
        </message>
        <message>
            <source>%1 skipped</source>
            <translation>%1 übersprungen</translation>
        </message>
        <message>
            <source>Downloading...</source>
            <translation>Herunterladen...</translation>
        </message>
        <message>
            <source>Progress: Starting...</source>
            <translation>Fortschritt: Start...</translation>
        </message>
        <message>
            <source>Cancelled</source>
            <translation>Abgebrochen</translation>
        </message>
        <message>
            <source>Progress: Cancelled, %1</source>
            <translation>Fortschritt: Abgebrochen, %1</translation>
        </message>
        <message>
            <source>Progress: Finished, %1</source>
            <translation>Fortschritt: Fertig, %1</translation>
        </message>
        <message>
            <source>Progress: Updating file %1 of %2</source>
            <translation>Fortschritt: Aktualisiere Datei %1 von %2</translation>
        </message>
        <message>
            <source>Checking updated site xml file...</source>
            <translation>Prüfe aktualisierte Site-XML-Datei...</translation>
        </message>
        <message>
            <source>Checked site xml file...</source>
            <translation>Site-XML-Datei geprüft...</translation>
        </message>
        <message>
            <source>Checking...</source>
            <translation>Prüfe...</translation>
        </message>
        <message>
            <source>Updated</source>
            <translation>Aktualisiert</translation>
        </message>
        <message>
            <source>Already up to date</source>
            <translation>Bereits aktuell</translation>
        </message>
        <message>
            <source>%1<byte value="xd" /><byte value="xd" />Do you want to continue?</source>
            <translation>%1<byte value="xd" /><byte value="xd" />Möchten Sie fortfahren?</translation>
        </message>
        <message>
            <source>Cannot execute the AutoUpdate application that is specified in the AutoUpdate manager settings:<byte value="xd" />%1<byte value="xd" /><byte value="xd" />Please check if the application exists in the specified location.</source>
            <translation>Das in den Einstellungen des AutoUpdate-Managers angegebene AutoUpdate-Programm kann nicht ausgeführt werden:<byte value="xd" />%1<byte value="xd" /><byte value="xd" />Bitte prüfen Sie, ob das Programm am angegebenen Ort vorhanden ist.</translation>
        </message>
        <message>
            <source>There was not enough memory to process this item</source>
            <translation>Für diesen Eintrag reichte der Arbeitsspeicher nicht aus</translation>
        </message>
        <message>
            <source>An unexpected error occurred while processing this item: %1</source>
            <translation>Beim Verarbeiten dieses Eintrags ist ein unerwarteter Fehler aufgetreten: %1</translation>
        </message>
    </context>
    <context>
        <name>TfmAbout</name>
        <message>
            <source>build</source>
            <translation>Build</translation>
        </message>
        <message>
            <source>English translation by Orvik</source>
            <translation>Deutsche Übersetzung von Orvik</translation>
        </message>
        <message>
            <source>About %1</source>
            <translation>Über %1</translation>
        </message>
        <message>
            <source>Donate Euros</source>
            <translation>In Euro spenden</translation>
        </message>
        <message>
            <source>Donate U.S. Dollars</source>
            <translation>In US-Dollar spenden</translation>
        </message>
        <message>
            <source>Donate</source>
            <translation>Spenden</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
    </context>
    <context>
        <name>TfmAddSite</name>
        <message>
            <source>Add Poi Site...</source>
            <translation>POI-Site hinzufügen...</translation>
        </message>
        <message>
            <source>Url or filename:</source>
            <translation>URL oder Dateiname:</translation>
        </message>
        <message>
            <source>Enter the url of the poi site xml. You can also add an xml file on your computer, e.g. to update poi files from your desktop to your navigation device.</source>
            <translation>Geben Sie die URL der POI-Site-XML ein. Sie können auch eine XML-Datei auf Ihrem Computer angeben, z. B. um POI-Dateien von Ihrem Desktop auf Ihr Navigationsgerät zu aktualisieren.</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>Invalid location specified, the xml location must be prefixed with http:// for internet locations or file:// for local files</source>
            <translation>Ungültiger Ort angegeben, der XML-Ort muss für Internetadressen mit http:// und für lokale Dateien mit file:// beginnen</translation>
        </message>
        <message>
            <source>File %1 not found</source>
            <translation>Datei %1 nicht gefunden</translation>
        </message>
        <message>
            <source>Invalid url %1</source>
            <translation>Ungültige URL %1</translation>
        </message>
        <message>
            <source>Open poi site xml file...</source>
            <translation>POI-Site-XML-Datei öffnen...</translation>
        </message>
        <message>
            <source>Xml Files (*.xml)</source>
            <translation>XML-Dateien (*.xml)</translation>
        </message>
    </context>
    <context>
        <name>TfmAutoUpdateWizard</name>
        <message>
            <source>Welcome to the Tarvell AutoUpdate Wizard</source>
            <translation>Willkommen beim Tarvell AutoUpdate-Assistenten</translation>
        </message>
        <message>
            <source>This wizard sets up the automatic update of a group of poi files of a poi site, so that they are always up to date on your computer or navigation device. Click Next to continue.</source>
            <translation>Dieser Assistent richtet die automatische Aktualisierung einer Gruppe von POI-Dateien einer POI-Site ein, damit sie auf Ihrem Computer oder Navigationsgerät immer aktuell sind. Klicken Sie auf Weiter, um fortzufahren.</translation>
        </message>
        <message>
            <source>Profile</source>
            <translation>Profil</translation>
        </message>
        <message>
            <source>Select the profile the new AutoUpdate items are added to:</source>
            <translation>Wählen Sie das Profil, dem die neuen AutoUpdate-Einträge hinzugefügt werden:</translation>
        </message>
        <message>
            <source>Poi site</source>
            <translation>POI-Site</translation>
        </message>
        <message>
            <source>Select the poi site you want to update poi files from:</source>
            <translation>Wählen Sie die POI-Site, von der Sie POI-Dateien aktualisieren möchten:</translation>
        </message>
        <message>
            <source>Authentication</source>
            <translation>Anmeldung</translation>
        </message>
        <message>
            <source>This site requires a username and password for some of its poi files. Enter the ones you registered with; the site's website tells how to register.</source>
            <translation>Diese Site verlangt für einige ihrer POI-Dateien Benutzername und Passwort. Geben Sie die Daten ein, mit denen Sie sich registriert haben; die Website der Site erklärt, wie man sich registriert.</translation>
        </message>
        <message>
            <source>Country and group</source>
            <translation>Land und Gruppe</translation>
        </message>
        <message>
            <source>Select the country (map) and the group of poi files to update:</source>
            <translation>Wählen Sie das Land (die Karte) und die Gruppe der zu aktualisierenden POI-Dateien:</translation>
        </message>
        <message>
            <source>Target</source>
            <translation>Ziel</translation>
        </message>
        <message>
            <source>Select where the poi files are to be updated:</source>
            <translation>Wählen Sie, wohin die POI-Dateien aktualisiert werden sollen:</translation>
        </message>
        <message>
            <source>Ready</source>
            <translation>Bereit</translation>
        </message>
        <message>
            <source>The wizard is ready to set up the AutoUpdate items. Click Finish to create them.</source>
            <translation>Der Assistent kann die AutoUpdate-Einträge jetzt einrichten. Klicken Sie auf Fertigstellen, um sie anzulegen.</translation>
        </message>
        <message>
            <source>Finished</source>
            <translation>Fertig</translation>
        </message>
        <message>
            <source>The AutoUpdate items have been set up. Update them now, or review them in the AutoUpdate Manager.</source>
            <translation>Die AutoUpdate-Einträge sind eingerichtet. Aktualisieren Sie sie jetzt oder prüfen Sie sie im AutoUpdate-Manager.</translation>
        </message>
        <message>
            <source>Force site information download in the next step</source>
            <translation>Site-Informationen im nächsten Schritt auf jeden Fall herunterladen</translation>
        </message>
        <message>
            <source>Username:</source>
            <translation>Benutzername:</translation>
        </message>
        <message>
            <source>Password:</source>
            <translation>Passwort:</translation>
        </message>
        <message>
            <source>Website</source>
            <translation>Website</translation>
        </message>
        <message>
            <source>No groups available: all pois within this country are selected...</source>
            <translation>Keine Gruppen verfügbar: alle POIs dieses Landes sind ausgewählt...</translation>
        </message>
        <message>
            <source>Folder on local machine</source>
            <translation>Ordner auf diesem Computer</translation>
        </message>
        <message>
            <source>TomTom Navigator through ActiveSync</source>
            <translation>TomTom Navigator über ActiveSync</translation>
        </message>
        <message>
            <source>TomTom GO</source>
            <translation>TomTom GO</translation>
        </message>
        <message>
            <source>Folder:</source>
            <translation>Ordner:</translation>
        </message>
        <message>
            <source>File type:</source>
            <translation>Dateityp:</translation>
        </message>
        <message>
            <source>TomTom Maps:</source>
            <translation>TomTom-Karten:</translation>
        </message>
        <message>
            <source>Folder of the TomTom GO:</source>
            <translation>Ordner des TomTom GO:</translation>
        </message>
        <message>
            <source>AutoUpdate now</source>
            <translation>Jetzt aktualisieren</translation>
        </message>
        <message>
            <source>Go to AutoUpdate Manager</source>
            <translation>Zum AutoUpdate-Manager</translation>
        </message>
        <message>
            <source>Tarvell AutoUpdate Wizard...</source>
            <translation>Tarvell AutoUpdate-Assistent...</translation>
        </message>
        <message>
            <source>Finish</source>
            <translation>Fertigstellen</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>Default</source>
            <translation>Standard</translation>
        </message>
        <message>
            <source>You already have setup AutoUpdate poi items from this site. To continue you need to clear these. Do you want to do this?</source>
            <translation>Sie haben bereits AutoUpdate-Einträge von dieser Site eingerichtet. Um fortzufahren, müssen diese entfernt werden. Möchten Sie das tun?</translation>
        </message>
        <message>
            <source>Cannot find the site xml index file</source>
            <translation>Die XML-Indexdatei der Site wurde nicht gefunden</translation>
        </message>
        <message>
            <source>To setup other groups not available in the Wizard, the Wizard needs to be closed and the AutoUpdate Manager needs to be opened. Do you want to do this?</source>
            <translation>Um andere Gruppen einzurichten, die der Assistent nicht anbietet, muss der Assistent geschlossen und der AutoUpdate-Manager geöffnet werden. Möchten Sie das tun?</translation>
        </message>
        <message>
            <source>[Other]</source>
            <translation>[Sonstige]</translation>
        </message>
        <message>
            <source>Are you sure you want to cancel the AutoUpdate Wizard?</source>
            <translation>Möchten Sie den AutoUpdate-Assistenten wirklich abbrechen?</translation>
        </message>
        <message>
            <source>Next &gt;</source>
            <translation>Weiter &gt;</translation>
        </message>
        <message>
            <source>&lt; Back</source>
            <translation>&lt; Zurück</translation>
        </message>
        <message>
            <source>Folder %1 does not exist. Do you want to create it?</source>
            <translation>Der Ordner %1 existiert nicht. Möchten Sie ihn anlegen?</translation>
        </message>
        <message>
            <source>Cannot create folder %1</source>
            <translation>Der Ordner %1 kann nicht angelegt werden</translation>
        </message>
    </context>
    <context>
        <name>TfmBatchConvert</name>
        <message>
            <source>Tarvell Batch Convert...</source>
            <translation>Tarvell Stapelkonvertierung...</translation>
        </message>
        <message>
            <source>Source Format:</source>
            <translation>Quellformat:</translation>
        </message>
        <message>
            <source>Source Directory:</source>
            <translation>Quellordner:</translation>
        </message>
        <message>
            <source>Destination Format:</source>
            <translation>Zielformat:</translation>
        </message>
        <message>
            <source>Destination Directory:</source>
            <translation>Zielordner:</translation>
        </message>
        <message>
            <source>Destination File:</source>
            <translation>Zieldatei:</translation>
        </message>
        <message>
            <source>Source file mode</source>
            <translation>Quelldateien</translation>
        </message>
        <message>
            <source>All</source>
            <translation>Alle</translation>
        </message>
        <message>
            <source>Selected</source>
            <translation>Ausgewählte</translation>
        </message>
        <message>
            <source>Multiple formats...</source>
            <translation>Mehrere Formate...</translation>
        </message>
        <message>
            <source>Destination mode</source>
            <translation>Zielmodus</translation>
        </message>
        <message>
            <source>Multiple</source>
            <translation>Mehrere Dateien</translation>
        </message>
        <message>
            <source>Append</source>
            <translation>Anhängen</translation>
        </message>
        <message>
            <source>Add names of the source files to the poi descriptions of the target file</source>
            <translation>Namen der Quelldateien den POI-Beschreibungen der Zieldatei voranstellen</translation>
        </message>
        <message>
            <source>Open file in new window after appending</source>
            <translation>Datei nach dem Anhängen in einem neuen Fenster öffnen</translation>
        </message>
        <message>
            <source>Convert</source>
            <translation>Konvertieren</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
        <message>
            <source>Batch conversion completed.</source>
            <translation>Stapelkonvertierung abgeschlossen.</translation>
        </message>
    </context>
    <context>
        <name>TfmBrowseFolder</name>
        <message>
            <source>Select target folder...</source>
            <translation>Zielordner wählen...</translation>
        </message>
        <message>
            <source>Select</source>
            <translation>Auswählen</translation>
        </message>
    </context>
    <context>
        <name>TfmCalibrate</name>
        <message>
            <source>Black</source>
            <translation>Schwarz</translation>
        </message>
        <message>
            <source>Maroon</source>
            <translation>Kastanienbraun</translation>
        </message>
        <message>
            <source>Green</source>
            <translation>Grün</translation>
        </message>
        <message>
            <source>Olive</source>
            <translation>Oliv</translation>
        </message>
        <message>
            <source>Navy</source>
            <translation>Marineblau</translation>
        </message>
        <message>
            <source>Purple</source>
            <translation>Violett</translation>
        </message>
        <message>
            <source>Teal</source>
            <translation>Blaugrün</translation>
        </message>
        <message>
            <source>Gray</source>
            <translation>Grau</translation>
        </message>
        <message>
            <source>Silver</source>
            <translation>Silber</translation>
        </message>
        <message>
            <source>Red</source>
            <translation>Rot</translation>
        </message>
        <message>
            <source>Lime</source>
            <translation>Hellgrün</translation>
        </message>
        <message>
            <source>Yellow</source>
            <translation>Gelb</translation>
        </message>
        <message>
            <source>Blue</source>
            <translation>Blau</translation>
        </message>
        <message>
            <source>Fuchsia</source>
            <translation>Fuchsie</translation>
        </message>
        <message>
            <source>Aqua</source>
            <translation>Türkis</translation>
        </message>
        <message>
            <source>White</source>
            <translation>Weiß</translation>
        </message>
        <message>
            <source>Button face</source>
            <translation>Schaltflächenhintergrund</translation>
        </message>
        <message>
            <source>Window</source>
            <translation>Fenster</translation>
        </message>
        <message>
            <source>Window text</source>
            <translation>Fenstertext</translation>
        </message>
        <message>
            <source>Highlight</source>
            <translation>Markierung</translation>
        </message>
        <message>
            <source>Highlight text</source>
            <translation>Markierter Text</translation>
        </message>
        <message>
            <source>Button shadow</source>
            <translation>Schaltflächenschatten</translation>
        </message>
        <message>
            <source>Button text</source>
            <translation>Schaltflächentext</translation>
        </message>
        <message>
            <source>Tool tip background</source>
            <translation>Tooltip-Hintergrund</translation>
        </message>
        <message>
            <source>Calibrate...</source>
            <translation>Kalibrieren...</translation>
        </message>
        <message>
            <source>Use this dialog to calibrate the map by providing two points and their corresponding coordinates on the map. To calibrate first choose the point to calibrate below, then click the pointer on the map to set the position of that point.
Note that the horizontal axis of the map must be parallel to the earths equator!</source>
            <translation>Mit diesem Dialog kalibrieren Sie die Karte, indem Sie zwei Punkte und ihre zugehörigen Koordinaten auf der Karte angeben. Wählen Sie zum Kalibrieren zuerst unten den Punkt, den Sie kalibrieren möchten, und klicken Sie dann mit dem Zeiger auf die Karte, um die Lage dieses Punkts festzulegen.
Beachten Sie, dass die waagerechte Achse der Karte parallel zum Äquator verlaufen muss!</translation>
        </message>
        <message>
            <source>Calibration Point 1</source>
            <translation>Kalibrierpunkt 1</translation>
        </message>
        <message>
            <source>Calibration Point 2</source>
            <translation>Kalibrierpunkt 2</translation>
        </message>
        <message>
            <source>X:</source>
            <translation>X:</translation>
        </message>
        <message>
            <source>Y:</source>
            <translation>Y:</translation>
        </message>
        <message>
            <source>Latitude:</source>
            <translation>Breite:</translation>
        </message>
        <message>
            <source>Longitude:</source>
            <translation>Länge:</translation>
        </message>
        <message>
            <source>Map background color:</source>
            <translation>Hintergrundfarbe der Karte:</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>Custom...</source>
            <translation>Benutzerdefiniert...</translation>
        </message>
        <message>
            <source>The calibrations point are very close to each other, therefore precise location calculations can not be guaranteed. Are you sure you want to use this calibration?</source>
            <translation>Die Kalibrierpunkte liegen sehr nahe beieinander, daher können genaue Positionsberechnungen nicht garantiert werden. Möchten Sie diese Kalibrierung wirklich verwenden?</translation>
        </message>
    </context>
    <context>
        <name>TfmChooseFormat</name>
        <message>
            <source>File open error...</source>
            <translation>Fehler beim Öffnen der Datei...</translation>
        </message>
        <message>
            <source>There was a problem opening the following file:</source>
            <translation>Beim Öffnen der folgenden Datei ist ein Problem aufgetreten:</translation>
        </message>
        <message>
            <source>because of the following error:</source>
            <translation>wegen des folgenden Fehlers:</translation>
        </message>
        <message>
            <source>Would you like to try to open it using one of the other formats (listed below) associated with this extension?</source>
            <translation>Möchten Sie versuchen, sie mit einem der anderen (unten aufgeführten) Formate dieser Erweiterung zu öffnen?</translation>
        </message>
        <message>
            <source>Try with following format:</source>
            <translation>Mit folgendem Format versuchen:</translation>
        </message>
        <message>
            <source>In the future, use this format as the default</source>
            <translation>Dieses Format künftig als Standard verwenden</translation>
        </message>
    </context>
    <context>
        <name>TfmCommit</name>
        <message>
            <source>Tarvell Commit Poi...</source>
            <translation>Tarvell – POI übermitteln...</translation>
        </message>
        <message>
            <source>Poi to commit</source>
            <translation>Zu übermittelnder POI</translation>
        </message>
        <message>
            <source>Target site</source>
            <translation>Zielseite</translation>
        </message>
        <message>
            <source>Latitude:</source>
            <translation>Breite:</translation>
        </message>
        <message>
            <source>Longitude:</source>
            <translation>Länge:</translation>
        </message>
        <message>
            <source>Description:</source>
            <translation>Beschreibung:</translation>
        </message>
        <message>
            <source>Site:</source>
            <translation>Seite:</translation>
        </message>
        <message>
            <source>Country:</source>
            <translation>Land:</translation>
        </message>
        <message>
            <source>Group:</source>
            <translation>Gruppe:</translation>
        </message>
        <message>
            <source>Poi file:</source>
            <translation>POI-Datei:</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>You poi was committed succesfully to %1...</source>
            <translation>Ihr POI wurde erfolgreich an %1 übermittelt...</translation>
        </message>
        <message>
            <source>Downloading...</source>
            <translation>Herunterladen...</translation>
        </message>
        <message>
            <source>Download cancelled by user</source>
            <translation>Download vom Benutzer abgebrochen</translation>
        </message>
    </context>
    <context>
        <name>TfmConfirmDialog</name>
        <message>
            <source>Confirm...</source>
            <translation>Bestätigen...</translation>
        </message>
        <message>
            <source>Always "Yes to All"</source>
            <translation>Immer „Ja, alle“</translation>
        </message>
        <message>
            <source>Yes</source>
            <translation>Ja</translation>
        </message>
        <message>
            <source>No</source>
            <translation>Nein</translation>
        </message>
        <message>
            <source>Yes to All</source>
            <translation>Ja, alle</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
    </context>
    <context>
        <name>TfmCoordsCalculator</name>
        <message>
            <source>Coordinates Calculator</source>
            <translation>Koordinatenrechner</translation>
        </message>
        <message>
            <source>Longitude:</source>
            <translation>Längengrad:</translation>
        </message>
        <message>
            <source>Latitude:</source>
            <translation>Breitengrad:</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>Please enter the longitude and latitude</source>
            <translation>Bitte geben Sie den Längen- und den Breitengrad ein</translation>
        </message>
    </context>
    <context>
        <name>TfmFindDups</name>
        <message>
            <source>Find Duplicates</source>
            <translation>Duplikate suchen</translation>
        </message>
        <message>
            <source>Tolerance: </source>
            <translation>Toleranz: </translation>
        </message>
        <message>
            <source>m </source>
            <translation>m </translation>
        </message>
        <message>
            <source>Find</source>
            <translation>Suchen</translation>
        </message>
        <message>
            <source>Find duplicates</source>
            <translation>Duplikate suchen</translation>
        </message>
        <message>
            <source>Cut</source>
            <translation>Ausschneiden</translation>
        </message>
        <message>
            <source>Copy</source>
            <translation>Kopieren</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>Löschen</translation>
        </message>
        <message>
            <source>Select All</source>
            <translation>Alle auswählen</translation>
        </message>
        <message>
            <source>Select all duplicated (Ctrl + A)</source>
            <translation>Alle Duplikate auswählen (Strg + A)</translation>
        </message>
        <message>
            <source>Select None</source>
            <translation>Keine auswählen</translation>
        </message>
        <message>
            <source>Select none (Ctrl + N)</source>
            <translation>Auswahl aufheben (Strg + N)</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
        <message>
            <source>Please enter the tolerance as a whole number of metres</source>
            <translation>Bitte geben Sie die Toleranz als ganze Zahl in Metern ein</translation>
        </message>
        <message>
            <source>No duplicate items found</source>
            <translation>Keine Duplikate gefunden</translation>
        </message>
        <message>
            <source>Searching for duplicates...</source>
            <translation>Duplikate werden gesucht...</translation>
        </message>
    </context>
    <context>
        <name>TfmMapEmbedHtml</name>
        <message>
            <source>Zoom in</source>
            <translation>Vergrößern</translation>
        </message>
        <message>
            <source>Zoom out</source>
            <translation>Verkleinern</translation>
        </message>
        <message>
            <source>The map page %1 could not be written: %2</source>
            <translation>Die Kartenseite %1 konnte nicht geschrieben werden: %2</translation>
        </message>
    </context>
    <context>
        <name>TfmMapInternal</name>
        <message>
            <source>Zoom out</source>
            <translation>Verkleinern</translation>
        </message>
        <message>
            <source>Zoom in</source>
            <translation>Vergrößern</translation>
        </message>
        <message>
            <source>Turns the cursor into move map mode</source>
            <translation>Schaltet den Mauszeiger in den Modus zum Verschieben der Karte</translation>
        </message>
        <message>
            <source>Turns the cursor into set position mode</source>
            <translation>Schaltet den Mauszeiger in den Modus zum Setzen der Position</translation>
        </message>
        <message>
            <source>Allows you to select the pois on the map by clicking and dragging the mouse</source>
            <translation>Damit wählen Sie die POIs auf der Karte durch Klicken und Ziehen mit der Maus aus</translation>
        </message>
        <message>
            <source>Go to the online Tarvell maps page</source>
            <translation>Zur Online-Kartenseite von Tarvell</translation>
        </message>
        <message>
            <source>Click here to calibrate</source>
            <translation>Hier klicken zum Kalibrieren</translation>
        </message>
        <message>
            <source>Calibrates the map</source>
            <translation>Kalibriert die Karte</translation>
        </message>
        <message>
            <source>Map needs calibration!</source>
            <translation>Die Karte muss kalibriert werden!</translation>
        </message>
        <message>
            <source>Loading of calibration data failed: %1

Please calibrate the map properly.</source>
            <translation>Das Laden der Kalibrierdaten ist fehlgeschlagen: %1

Bitte kalibrieren Sie die Karte richtig.</translation>
        </message>
        <message>
            <source>First select a Calibration Point in the "Calibrate..." dialog</source>
            <translation>Wählen Sie zuerst im Dialog "Kalibrieren..." einen Kalibrierpunkt</translation>
        </message>
        <message>
            <source>%1
Lat/Lon: %2/%3</source>
            <translation>%1
Breite/Länge: %2/%3</translation>
        </message>
        <message>
            <source>Both calibration points have the same X. Choose two points that differ in X and in Y</source>
            <translation>Beide Kalibrierpunkte haben dasselbe X. Wählen Sie zwei Punkte, die sich in X und in Y unterscheiden</translation>
        </message>
        <message>
            <source>Both calibration points have the same Y. Choose two points that differ in X and in Y</source>
            <translation>Beide Kalibrierpunkte haben dasselbe Y. Wählen Sie zwei Punkte, die sich in X und in Y unterscheiden</translation>
        </message>
        <message>
            <source>Both calibration points have the same longitude. Enter two positions that differ in latitude and in longitude</source>
            <translation>Beide Kalibrierpunkte haben dieselbe Länge. Geben Sie zwei Positionen ein, die sich in Breite und in Länge unterscheiden</translation>
        </message>
        <message>
            <source>Both calibration points have the same latitude. Enter two positions that differ in latitude and in longitude</source>
            <translation>Beide Kalibrierpunkte haben dieselbe Breite. Geben Sie zwei Positionen ein, die sich in Breite und in Länge unterscheiden</translation>
        </message>
    </context>
    <context>
        <name>TfmMobileBrowser</name>
        <message>
            <source>Save Remote...</source>
            <translation>Auf Gerät speichern...</translation>
        </message>
        <message>
            <source>Open Remote...</source>
            <translation>Vom Gerät öffnen...</translation>
        </message>
        <message>
            <source>Save</source>
            <translation>Speichern</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>Öffnen</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>&amp;File:</source>
            <translation>&amp;Datei:</translation>
        </message>
        <message>
            <source>File &amp;type:</source>
            <translation>Datei&amp;typ:</translation>
        </message>
        <message>
            <source>Filename</source>
            <translation>Dateiname</translation>
        </message>
        <message>
            <source>Directory Up</source>
            <translation>Übergeordneter Ordner</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>Aktualisieren</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>Löschen</translation>
        </message>
        <message>
            <source>Tool bar</source>
            <translation>Symbolleiste</translation>
        </message>
        <message>
            <source>Are you sure you want to delete remote file %1?</source>
            <translation>Möchten Sie die Gerätedatei %1 wirklich löschen?</translation>
        </message>
        <message>
            <source>Delete bmp and inf files as well</source>
            <translation>Auch bmp- und inf-Dateien löschen</translation>
        </message>
        <message>
            <source>My Device</source>
            <translation>Mein Gerät</translation>
        </message>
        <message>
            <source>My Documents</source>
            <translation>Eigene Dateien</translation>
        </message>
        <message>
            <source>Extension "%1" of filename does not match selected filetype.</source>
            <translation>Die Erweiterung „%1“ des Dateinamens passt nicht zum gewählten Dateityp.</translation>
        </message>
        <message>
            <source>Remote file %1 already exists. Do you want to overwrite it?</source>
            <translation>Die Gerätedatei %1 ist bereits vorhanden. Möchten Sie sie überschreiben?</translation>
        </message>
        <message>
            <source>Could not delete remote file %1</source>
            <translation>Die Gerätedatei %1 konnte nicht gelöscht werden</translation>
        </message>
    </context>
    <context>
        <name>TfmMobileFolder</name>
        <message>
            <source>Select Mobile Folder...</source>
            <translation>Ordner auf dem Gerät wählen...</translation>
        </message>
        <message>
            <source>Selected path:</source>
            <translation>Gewählter Pfad:</translation>
        </message>
        <message>
            <source>TomTom Maps:</source>
            <translation>TomTom-Karten:</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Other</source>
            <translation>Andere</translation>
        </message>
        <message>
            <source>No map or folder specified</source>
            <translation>Keine Karte und kein Ordner angegeben</translation>
        </message>
    </context>
    <context>
        <name>TfmPassword</name>
        <message>
            <source>Set/change password...</source>
            <translation>Passwort festlegen/ändern...</translation>
        </message>
        <message>
            <source>Email:</source>
            <translation>E-Mail:</translation>
        </message>
        <message>
            <source>Username:</source>
            <translation>Benutzername:</translation>
        </message>
        <message>
            <source>Login:</source>
            <translation>Anmeldename:</translation>
        </message>
        <message>
            <source>Password:</source>
            <translation>Passwort:</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
    </context>
    <context>
        <name>TfmPlugin</name>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>%1 settings...</source>
            <translation>Einstellungen von %1...</translation>
        </message>
    </context>
    <context>
        <name>TfmPluginSettings</name>
        <message>
            <source>Preferences...</source>
            <translation>Einstellungen...</translation>
        </message>
        <message>
            <source>General</source>
            <translation>Allgemein</translation>
        </message>
        <message>
            <source>Map Plugins</source>
            <translation>Karten-Plug-ins</translation>
        </message>
        <message>
            <source>File Importers</source>
            <translation>Dateiimport</translation>
        </message>
        <message>
            <source>File Exporters</source>
            <translation>Dateiexport</translation>
        </message>
        <message>
            <source>MapPoint version:</source>
            <translation>MapPoint-Version:</translation>
        </message>
        <message>
            <source>MapPoint 2000 Europe</source>
            <translation>MapPoint 2000 Europa</translation>
        </message>
        <message>
            <source>MapPoint 2000 North America</source>
            <translation>MapPoint 2000 Nordamerika</translation>
        </message>
        <message>
            <source>MapPoint 2004 Europe</source>
            <translation>MapPoint 2004 Europa</translation>
        </message>
        <message>
            <source>MapPoint 2004 North America</source>
            <translation>MapPoint 2004 Nordamerika</translation>
        </message>
        <message>
            <source>Coordinate precision</source>
            <translation>Koordinatengenauigkeit</translation>
        </message>
        <message>
            <source>5 decimals</source>
            <translation>5 Nachkommastellen</translation>
        </message>
        <message>
            <source>6 decimals</source>
            <translation>6 Nachkommastellen</translation>
        </message>
        <message>
            <source>Precision used when converting lon/lat values from degree to decimal presentation and when setting points from the map pane</source>
            <translation>Genauigkeit beim Umrechnen von Längen- und Breitengraden von Grad in Dezimaldarstellung und beim Setzen von Punkten aus der Kartenansicht</translation>
        </message>
        <message>
            <source>Show startup choices screen</source>
            <translation>Startbildschirm mit Auswahl anzeigen</translation>
        </message>
        <message>
            <source>Name</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>AutoArrange external applications</source>
            <translation>Externe Anwendungen automatisch anordnen</translation>
        </message>
        <message>
            <source>Settings...</source>
            <translation>Einstellungen...</translation>
        </message>
        <message>
            <source>Set Default</source>
            <translation>Als Standard</translation>
        </message>
        <message>
            <source>Ext</source>
            <translation>Endung</translation>
        </message>
        <message>
            <source>ID</source>
            <translation>ID</translation>
        </message>
        <message>
            <source>Opt</source>
            <translation>Opt</translation>
        </message>
        <message>
            <source>= Default format for extension</source>
            <translation>= Standardformat der Dateiendung</translation>
        </message>
        <message>
            <source>Options</source>
            <translation>Optionen</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
    </context>
    <context>
        <name>TfmProgress</name>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>Loading, please wait...</source>
            <translation>Wird geladen, bitte warten...</translation>
        </message>
    </context>
    <context>
        <name>TfmRetrieveVersionInfo</name>
        <message>
            <source>Tarvell Version Check...</source>
            <translation>Tarvell – Versionsprüfung...</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
        <message>
            <source>Retrieving version information...</source>
            <translation>Versionsinformation wird abgerufen...</translation>
        </message>
        <message>
            <source>You have the latest version of %1.</source>
            <translation>Sie haben die neueste Version von %1.</translation>
        </message>
        <message>
            <source>Error checking for new version</source>
            <translation>Fehler bei der Suche nach einer neuen Version</translation>
        </message>
        <message>
            <source>There is a new version of %1 available for download. Do you wish to goto the download page on %2?</source>
            <translation>Eine neue Version von %1 steht zum Herunterladen bereit. Möchten Sie die Download-Seite auf %2 öffnen?</translation>
        </message>
        <message>
            <source>A newer version of %1 is available: %2.</source>
            <translation>Eine neuere Version von %1 ist verfügbar: %2.</translation>
        </message>
    </context>
    <context>
        <name>TfmSiteManager</name>
        <message>
            <source>Sites:</source>
            <translation>Sites:</translation>
        </message>
        <message>
            <source>hidden,</source>
            <translation>ausgeblendet,</translation>
        </message>
        <message>
            <source>unhide</source>
            <translation>einblenden</translation>
        </message>
        <message>
            <source>This is a free AutoUpdate site from which you can start synchronizing poi's immediately.</source>
            <translation>Dies ist eine freie AutoUpdate-Site, von der Sie sofort POIs synchronisieren können.</translation>
        </message>
        <message>
            <source>This AutoUpdate site requires you to register before you can synchronize its poi's. Enter the username and password you registered with.</source>
            <translation>Für diese AutoUpdate-Site müssen Sie sich registrieren, bevor Sie ihre POIs synchronisieren können. Geben Sie den Benutzernamen und das Passwort Ihrer Registrierung ein.</translation>
        </message>
        <message>
            <source>Some poi's of this AutoUpdate site are only available to subscribers. Enter the username and password of your subscription.</source>
            <translation>Einige POIs dieser AutoUpdate-Site sind nur für Abonnenten verfügbar. Geben Sie den Benutzernamen und das Passwort Ihres Abonnements ein.</translation>
        </message>
        <message>
            <source>This is a local site xml file, no username or password are required.</source>
            <translation>Dies ist eine lokale Site-XML-Datei, Benutzername und Passwort sind nicht nötig.</translation>
        </message>
        <message>
            <source>Map/Country name</source>
            <translation>Karte/Land</translation>
        </message>
        <message>
            <source>Group name</source>
            <translation>Gruppe</translation>
        </message>
        <message>
            <source>Profile:</source>
            <translation>Profil:</translation>
        </message>
        <message>
            <source>Download Images</source>
            <translation>Bilder herunterladen</translation>
        </message>
        <message>
            <source>Always overwrite</source>
            <translation>Immer überschreiben</translation>
        </message>
        <message>
            <source>Autoclose Status Window</source>
            <translation>Statusfenster automatisch schließen</translation>
        </message>
        <message>
            <source>After AutoUpdate start this application:</source>
            <translation>Nach dem AutoUpdate dieses Programm starten:</translation>
        </message>
        <message>
            <source>Parameters:</source>
            <translation>Parameter:</translation>
        </message>
        <message>
            <source>Delay time:</source>
            <translation>Wartezeit:</translation>
        </message>
        <message>
            <source>secs</source>
            <translation>Sek.</translation>
        </message>
        <message>
            <source>Pocket Tarvell is installed to an alternate installation directory</source>
            <translation>Pocket Tarvell ist in einem anderen Installationsordner installiert</translation>
        </message>
        <message>
            <source>Alternate directory:</source>
            <translation>Anderer Ordner:</translation>
        </message>
        <message>
            <source>Update upon ActiveSync connect</source>
            <translation>Bei ActiveSync-Verbindung aktualisieren</translation>
        </message>
        <message>
            <source>Update upon USB connect</source>
            <translation>Bei USB-Verbindung aktualisieren</translation>
        </message>
        <message>
            <source>Include in update ActiveSync connect</source>
            <translation>Bei ActiveSync-Verbindung mit aktualisieren</translation>
        </message>
        <message>
            <source>Include in update USB connect</source>
            <translation>Bei USB-Verbindung mit aktualisieren</translation>
        </message>
        <message>
            <source>Tarvell AutoUpdate Manager...</source>
            <translation>Tarvell AutoUpdate-Manager...</translation>
        </message>
        <message>
            <source>Update</source>
            <translation>Aktualisieren</translation>
        </message>
        <message>
            <source>Checks if there is an updated poi list available from the selected poi site and downloads it if neccessary.</source>
            <translation>Prüft, ob die gewählte POI-Site eine aktualisierte POI-Liste anbietet, und lädt sie bei Bedarf herunter.</translation>
        </message>
        <message>
            <source>Del</source>
            <translation>Entf.</translation>
        </message>
        <message>
            <source>Delete or hide the selected site from the list and unsubscribe from all it's items</source>
            <translation>Die gewählte Site aus der Liste löschen oder ausblenden und alle ihre Einträge abbestellen</translation>
        </message>
        <message>
            <source>Add</source>
            <translation>Hinzufügen</translation>
        </message>
        <message>
            <source>Add a site manually</source>
            <translation>Eine Site von Hand hinzufügen</translation>
        </message>
        <message>
            <source>View</source>
            <translation>Ansehen</translation>
        </message>
        <message>
            <source>View the raw XML contents of the site description file</source>
            <translation>Den XML-Inhalt der Site-Beschreibungsdatei ansehen</translation>
        </message>
        <message>
            <source>Status</source>
            <translation>Status</translation>
        </message>
        <message>
            <source>Check the online list of sites for their status and to check if there are new poi sites available.</source>
            <translation>In der Online-Liste der Sites ihren Status prüfen und nachsehen, ob es neue POI-Sites gibt.</translation>
        </message>
        <message>
            <source>Visit Website</source>
            <translation>Website besuchen</translation>
        </message>
        <message>
            <source>Go to the information page of the poi site</source>
            <translation>Zur Informationsseite der POI-Site gehen</translation>
        </message>
        <message>
            <source>Set/Change password</source>
            <translation>Passwort festlegen/ändern</translation>
        </message>
        <message>
            <source>Set or change the password required to download items from the selected site</source>
            <translation>Das Passwort festlegen oder ändern, das zum Herunterladen von Einträgen der gewählten Site nötig ist</translation>
        </message>
        <message>
            <source>Start AutoUpdate Wizard</source>
            <translation>AutoUpdate-Assistent starten</translation>
        </message>
        <message>
            <source>AutoUpdate Now</source>
            <translation>Jetzt aktualisieren</translation>
        </message>
        <message>
            <source>Auto Update all pois that are configured to do so</source>
            <translation>Alle dafür eingerichteten POIs automatisch aktualisieren</translation>
        </message>
        <message>
            <source>Select All</source>
            <translation>Alle auswählen</translation>
        </message>
        <message>
            <source>Select all items</source>
            <translation>Alle Einträge auswählen</translation>
        </message>
        <message>
            <source>Update Sel.</source>
            <translation>Auswahl aktual.</translation>
        </message>
        <message>
            <source>AutoUpdate the selected items now</source>
            <translation>Die gewählten Einträge jetzt aktualisieren</translation>
        </message>
        <message>
            <source>Local</source>
            <translation>Lokal</translation>
        </message>
        <message>
            <source>AutoUpdate the selected items to a location on this computer</source>
            <translation>Die gewählten Einträge an einen Ort auf diesem Computer aktualisieren</translation>
        </message>
        <message>
            <source>ActiveSync</source>
            <translation>ActiveSync</translation>
        </message>
        <message>
            <source>AutoUpdate the selected items to files on an ActiveSync device (PDA, Smartphone)</source>
            <translation>Die gewählten Einträge in Dateien auf einem ActiveSync-Gerät (PDA, Smartphone) aktualisieren</translation>
        </message>
        <message>
            <source>Unsubscribe</source>
            <translation>Abbestellen</translation>
        </message>
        <message>
            <source>Remove AutoUpdate from the selected items</source>
            <translation>AutoUpdate von den gewählten Einträgen entfernen</translation>
        </message>
        <message>
            <source>Update Selection</source>
            <translation>Auswahl aktualisieren</translation>
        </message>
        <message>
            <source>Auto Update the selected item(s)</source>
            <translation>Den/die gewählten Eintrag/Einträge automatisch aktualisieren</translation>
        </message>
        <message>
            <source>Remove Auto Update from the selected item(s)</source>
            <translation>AutoUpdate von dem/den gewählten Eintrag/Einträgen entfernen</translation>
        </message>
        <message>
            <source>Selected to Pocket Tarvell</source>
            <translation>Auswahl an Pocket Tarvell</translation>
        </message>
        <message>
            <source>Send the selected AutoUpdate item settings to Pocket
Tarvell on your Mobile Device.</source>
            <translation>Die Einstellungen der gewählten AutoUpdate-Einträge an Pocket
Tarvell auf Ihrem Mobilgerät senden.</translation>
        </message>
        <message>
            <source>Add a profile</source>
            <translation>Ein Profil hinzufügen</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>Löschen</translation>
        </message>
        <message>
            <source>Delete the selected profile</source>
            <translation>Das gewählte Profil löschen</translation>
        </message>
        <message>
            <source>Sites</source>
            <translation>Sites</translation>
        </message>
        <message>
            <source>All Items</source>
            <translation>Alle Einträge</translation>
        </message>
        <message>
            <source>Settings</source>
            <translation>Einstellungen</translation>
        </message>
        <message>
            <source>Profiles</source>
            <translation>Profile</translation>
        </message>
        <message>
            <source>Name</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>Map</source>
            <translation>Karte</translation>
        </message>
        <message>
            <source>Auth</source>
            <translation>Zugang</translation>
        </message>
        <message>
            <source>Last update</source>
            <translation>Letzte Aktualisierung</translation>
        </message>
        <message>
            <source>Target</source>
            <translation>Ziel</translation>
        </message>
        <message>
            <source>Site</source>
            <translation>Site</translation>
        </message>
        <message>
            <source>Act</source>
            <translation>Act</translation>
        </message>
        <message>
            <source>Usb</source>
            <translation>USB</translation>
        </message>
        <message>
            <source>Icons</source>
            <translation>Symbole</translation>
        </message>
        <message>
            <source>List</source>
            <translation>Liste</translation>
        </message>
        <message>
            <source>Details</source>
            <translation>Details</translation>
        </message>
        <message>
            <source>File %1 does no longer exist. Please restore it or remove it from the AutoUpdate Manager site list</source>
            <translation>Die Datei %1 ist nicht mehr vorhanden. Bitte stellen Sie sie wieder her oder entfernen Sie sie aus der Site-Liste des AutoUpdate-Managers</translation>
        </message>
        <message>
            <source>Site information of %1 has not yet been downloaded. Do you want to download it now?</source>
            <translation>Die Site-Informationen von %1 wurden noch nicht heruntergeladen. Möchten Sie sie jetzt herunterladen?</translation>
        </message>
        <message>
            <source>No site selected</source>
            <translation>Keine Site gewählt</translation>
        </message>
        <message>
            <source>Are you sure you want to hide this site and remove all of its AutoUpdate items?</source>
            <translation>Möchten Sie diese Site wirklich ausblenden und alle ihre AutoUpdate-Einträge entfernen?</translation>
        </message>
        <message>
            <source>Are you sure you want to remove this site and all it AutoUpdate items?</source>
            <translation>Möchten Sie diese Site und alle ihre AutoUpdate-Einträge wirklich entfernen?</translation>
        </message>
        <message>
            <source>A site location cannot contain "|"</source>
            <translation>Ein Site-Ort darf kein „|“ enthalten</translation>
        </message>
        <message>
            <source>This url already exists in the site list</source>
            <translation>Diese URL ist bereits in der Site-Liste</translation>
        </message>
        <message>
            <source>Cannot find the site xml index file</source>
            <translation>Die XML-Indexdatei der Site wurde nicht gefunden</translation>
        </message>
        <message>
            <source>No hidden sites to show!</source>
            <translation>Keine ausgeblendeten Sites vorhanden!</translation>
        </message>
        <message>
            <source>Are you sure you want to show all hidden sites?</source>
            <translation>Möchten Sie wirklich alle ausgeblendeten Sites einblenden?</translation>
        </message>
        <message>
            <source>Specify local target...</source>
            <translation>Lokales Ziel angeben...</translation>
        </message>
        <message>
            <source>Set Target File...</source>
            <translation>Zieldatei festlegen...</translation>
        </message>
        <message>
            <source>The entered application does not exist on this location.</source>
            <translation>Das angegebene Programm ist an diesem Ort nicht vorhanden.</translation>
        </message>
        <message>
            <source>All files (*)</source>
            <translation>Alle Dateien (*)</translation>
        </message>
        <message>
            <source>Default</source>
            <translation>Standard</translation>
        </message>
        <message>
            <source>Add profile...</source>
            <translation>Profil hinzufügen...</translation>
        </message>
        <message>
            <source>Enter the name of the new profile:</source>
            <translation>Geben Sie den Namen des neuen Profils ein:</translation>
        </message>
        <message>
            <source>Invalid profile name "%1"</source>
            <translation>Ungültiger Profilname „%1“</translation>
        </message>
        <message>
            <source>Are you sure you want to delete this profile?</source>
            <translation>Möchten Sie dieses Profil wirklich löschen?</translation>
        </message>
        <message>
            <source>Hide</source>
            <translation>Ausblenden</translation>
        </message>
        <message>
            <source>AutoUpdate configuration saved to your Mobile Device.</source>
            <translation>Die AutoUpdate-Konfiguration wurde auf Ihrem mobilen Gerät gespeichert.</translation>
        </message>
    </context>
    <context>
        <name>TfmStatus</name>
        <message>
            <source>Tarvell AutoUpdate Status...</source>
            <translation>Tarvell AutoUpdate-Status...</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message>
            <source>Auto close</source>
            <translation>Automatisch schließen</translation>
        </message>
        <message>
            <source>Continue on subsequent errors</source>
            <translation>Bei weiteren Fehlern fortfahren</translation>
        </message>
    </context>
    <context>
        <name>TfmSysInfo</name>
        <message>
            <source>Tarvell System Info...</source>
            <translation>Tarvell Systeminformationen...</translation>
        </message>
        <message>
            <source>&amp;Save</source>
            <translation>&amp;Speichern</translation>
        </message>
        <message>
            <source>&amp;Print</source>
            <translation>&amp;Drucken</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Save system info...</source>
            <translation>Systeminformationen speichern...</translation>
        </message>
        <message>
            <source>Textfiles (*.txt)</source>
            <translation>Textdateien (*.txt)</translation>
        </message>
    </context>
    <context>
        <name>TfmTarvellMainForm</name>
        <message>
            <source>&amp;File</source>
            <translation>&amp;Datei</translation>
        </message>
        <message>
            <source>&amp;Edit</source>
            <translation>&amp;Bearbeiten</translation>
        </message>
        <message>
            <source>&amp;Tools</source>
            <translation>E&amp;xtras</translation>
        </message>
        <message>
            <source>&amp;AutoUpdate</source>
            <translation>&amp;AutoUpdate</translation>
        </message>
        <message>
            <source>&amp;Window</source>
            <translation>&amp;Fenster</translation>
        </message>
        <message>
            <source>&amp;Help</source>
            <translation>&amp;Hilfe</translation>
        </message>
        <message>
            <source>&amp;Language</source>
            <translation>&amp;Sprache</translation>
        </message>
        <message>
            <source>Tool bar</source>
            <translation>Symbolleiste</translation>
        </message>
        <message>
            <source>Tarvell...</source>
            <translation>Tarvell...</translation>
        </message>
        <message>
            <source>Exit</source>
            <translation>Beenden</translation>
        </message>
        <message>
            <source>Default</source>
            <translation>Standard</translation>
        </message>
        <message>
            <source>Find items</source>
            <translation>Einträge suchen</translation>
        </message>
        <message>
            <source>Enter search string below</source>
            <translation>Suchbegriff unten eingeben</translation>
        </message>
        <message>
            <source>No search string entered</source>
            <translation>Kein Suchbegriff eingegeben</translation>
        </message>
        <message>
            <source>AutoUpdate profile "%1" not found</source>
            <translation>AutoUpdate-Profil „%1“ nicht gefunden</translation>
        </message>
        <message>
            <source>No AutoUpdate items found to update</source>
            <translation>Keine AutoUpdate-Einträge zum Aktualisieren gefunden</translation>
        </message>
        <message>
            <source>&amp;New</source>
            <translation>&amp;Neu</translation>
        </message>
        <message>
            <source>&amp;Open</source>
            <translation>Ö&amp;ffnen</translation>
        </message>
        <message>
            <source>A&amp;ppend</source>
            <translation>&amp;Anhängen</translation>
        </message>
        <message>
            <source>Open Remote...</source>
            <translation>Vom Gerät öffnen...</translation>
        </message>
        <message>
            <source>&amp;Save</source>
            <translation>&amp;Speichern</translation>
        </message>
        <message>
            <source>Save &amp;As...</source>
            <translation>Speichern &amp;unter...</translation>
        </message>
        <message>
            <source>Save Remote...</source>
            <translation>Auf Gerät speichern...</translation>
        </message>
        <message>
            <source>&amp;Close File</source>
            <translation>Datei s&amp;chließen</translation>
        </message>
        <message>
            <source>Reconnect</source>
            <translation>Neu verbinden</translation>
        </message>
        <message>
            <source>&amp;Hide In Tray</source>
            <translation>In den &amp;Infobereich</translation>
        </message>
        <message>
            <source>E&amp;xit</source>
            <translation>&amp;Beenden</translation>
        </message>
        <message>
            <source>Copy</source>
            <translation>Kopieren</translation>
        </message>
        <message>
            <source>Copy as text</source>
            <translation>Als Text kopieren</translation>
        </message>
        <message>
            <source>Cut</source>
            <translation>Ausschneiden</translation>
        </message>
        <message>
            <source>Paste</source>
            <translation>Einfügen</translation>
        </message>
        <message>
            <source>&amp;Delete</source>
            <translation>&amp;Löschen</translation>
        </message>
        <message>
            <source>&amp;Insert</source>
            <translation>Eintrag ei&amp;nfügen</translation>
        </message>
        <message>
            <source>Select &amp;All</source>
            <translation>&amp;Alles auswählen</translation>
        </message>
        <message>
            <source>I&amp;nvert Selection</source>
            <translation>Auswahl &amp;umkehren</translation>
        </message>
        <message>
            <source>&amp;Find</source>
            <translation>&amp;Suchen</translation>
        </message>
        <message>
            <source>Find &amp;Next</source>
            <translation>&amp;Weitersuchen</translation>
        </message>
        <message>
            <source>Find Duplicates...</source>
            <translation>Doppelte suchen...</translation>
        </message>
        <message>
            <source>Coordinates Calculator...</source>
            <translation>Koordinatenrechner...</translation>
        </message>
        <message>
            <source>Batch Convert...</source>
            <translation>Stapelkonvertierung...</translation>
        </message>
        <message>
            <source>Preferences...</source>
            <translation>Einstellungen...</translation>
        </message>
        <message>
            <source>AutoUpdate Wizard...</source>
            <translation>AutoUpdate-Assistent...</translation>
        </message>
        <message>
            <source>AutoUpdate Manager...</source>
            <translation>AutoUpdate-Verwaltung...</translation>
        </message>
        <message>
            <source>AutoUpdate All...</source>
            <translation>AutoUpdate alle...</translation>
        </message>
        <message>
            <source>AutoUpdate &amp;Profile</source>
            <translation>AutoUpdate-&amp;Profil</translation>
        </message>
        <message>
            <source>AutoUpdate %1</source>
            <translation>AutoUpdate %1</translation>
        </message>
        <message>
            <source>Go to the Sites Status Page...</source>
            <translation>Zur Statusseite der Sites...</translation>
        </message>
        <message>
            <source>&amp;Cascade</source>
            <translation>Ü&amp;berlappend</translation>
        </message>
        <message>
            <source>Tile &amp;Horizontally</source>
            <translation>&amp;Horizontal anordnen</translation>
        </message>
        <message>
            <source>Tile &amp;Vertically</source>
            <translation>&amp;Vertikal anordnen</translation>
        </message>
        <message>
            <source>&amp;Minimize All</source>
            <translation>Alle &amp;minimieren</translation>
        </message>
        <message>
            <source>&amp;Arrange All</source>
            <translation>Alle &amp;anordnen</translation>
        </message>
        <message>
            <source>Next Window</source>
            <translation>Nächstes Fenster</translation>
        </message>
        <message>
            <source>Check for Tarvell updates...</source>
            <translation>Nach Tarvell-Aktualisierungen suchen...</translation>
        </message>
        <message>
            <source>Check every week</source>
            <translation>Jede Woche prüfen</translation>
        </message>
        <message>
            <source>Go to Tarvell Page...</source>
            <translation>Zur Tarvell-Seite...</translation>
        </message>
        <message>
            <source>Online Tarvell FAQ...</source>
            <translation>Tarvell-FAQ online...</translation>
        </message>
        <message>
            <source>Goto Tarvell forum...</source>
            <translation>Zum Tarvell-Forum...</translation>
        </message>
        <message>
            <source>System Info...</source>
            <translation>Systeminformationen...</translation>
        </message>
        <message>
            <source>&amp;About...</source>
            <translation>&amp;Info...</translation>
        </message>
        <message>
            <source>Copy bmp file if available</source>
            <translation>bmp-Datei mitkopieren, falls vorhanden</translation>
        </message>
    </context>
    <context>
        <name>TfmTarvellStartup</name>
        <message>
            <source>Tarvell Startup...</source>
            <translation>Tarvell – Start...</translation>
        </message>
        <message>
            <source>What do you want to do?</source>
            <translation>Was möchten Sie tun?</translation>
        </message>
        <message>
            <source>&amp;Create new Poi File</source>
            <translation>Neue POI-Datei &amp;erstellen</translation>
        </message>
        <message>
            <source>&amp;Start AutoUpdate Wizard</source>
            <translation>AutoUpdate-Assistenten &amp;starten</translation>
        </message>
        <message>
            <source>&amp;Open AutoUpdate Manager (F8)</source>
            <translation>AutoUpdate-Manager ö&amp;ffnen (F8)</translation>
        </message>
        <message>
            <source>&amp;AutoUpdate Now (F9)</source>
            <translation>Jetzt &amp;aktualisieren (F9)</translation>
        </message>
        <message>
            <source>Next time do not show this startup screen </source>
            <translation>Diesen Startbildschirm beim nächsten Mal nicht anzeigen </translation>
        </message>
        <message>
            <source>You must first setup your AutoUpdate items using the AutoUpdate Wizard or Manager</source>
            <translation>Richten Sie zuerst Ihre AutoUpdate-Einträge mit dem AutoUpdate-Assistenten oder -Manager ein</translation>
        </message>
    </context>
    <context>
        <name>VostExcept</name>
        <message>
            <source>The bug report could not be saved to %1: %2</source>
            <translation>Der Fehlerbericht konnte nicht unter %1 gespeichert werden: %2</translation>
        </message>
        <message>
            <source>Restart</source>
            <translation>Neu starten</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Schließen</translation>
        </message>
        <message>
            <source>The mail was sent successfully.</source>
            <translation>Die Mail wurde erfolgreich gesendet.</translation>
        </message>
        <message>
            <source>Sorry, sending the mail didn't work.</source>
            <translation>Das Senden der Mail hat leider nicht geklappt.</translation>
        </message>
        <message>
            <source>An error occurred in the application:%LF%%LF%%exceptMsg%</source>
            <translation>In der Anwendung ist ein Fehler aufgetreten:%LF%%LF%%exceptMsg%</translation>
        </message>
        <message>
            <source>The application seems to be frozen.</source>
            <translation>Die Anwendung scheint eingefroren zu sein.</translation>
        </message>
        <message>
            <source>Save bug report</source>
            <translation>Fehlerbericht speichern</translation>
        </message>
        <message>
            <source>Print</source>
            <translation>Drucken</translation>
        </message>
        <message>
            <source>Show</source>
            <translation>Anzeigen</translation>
        </message>
        <message>
            <source>Continue</source>
            <translation>Fortsetzen</translation>
        </message>
        <message>
            <source>Sending the bug report by mail is not available.</source>
            <translation>Das Senden des Fehlerberichts per E-Mail ist nicht verfügbar.</translation>
        </message>
        <message>
            <source>Text files (*.txt)</source>
            <translation>Textdateien (*.txt)</translation>
        </message>
        <message>
            <source>%1%</source>
            <translation>%1 %</translation>
        </message>
        <message>
            <source>en</source>
            <translation>de</translation>
        </message>
        <message>
            <source>The bug report could not be saved to %1.</source>
            <translation>Der Fehlerbericht konnte nicht in %1 gespeichert werden.</translation>
        </message>
        <message>
            <source>External signal %1 from process %2</source>
            <translation>Externes Signal %1 von Prozess %2</translation>
        </message>
        <message>
            <source>Stack overflow</source>
            <translation>Stapelüberlauf</translation>
        </message>
        <message>
            <source>Access violation at address %1 in module '%2'. Write of address %3</source>
            <translation>Zugriffsverletzung bei Adresse %1 im Modul '%2'. Schreiben von Adresse %3</translation>
        </message>
        <message>
            <source>Access violation at address %1 in module '%2'. Read of address %3</source>
            <translation>Zugriffsverletzung bei Adresse %1 im Modul '%2'. Lesen von Adresse %3</translation>
        </message>
        <message>
            <source>Access Violation</source>
            <translation>Zugriffsverletzung</translation>
        </message>
        <message>
            <source>Division by zero</source>
            <translation>Division durch Null</translation>
        </message>
        <message>
            <source>Integer overflow</source>
            <translation>Ganzzahlüberlauf</translation>
        </message>
        <message>
            <source>Floating point division by zero</source>
            <translation>Gleitkommadivision durch Null</translation>
        </message>
        <message>
            <source>Floating point overflow</source>
            <translation>Gleitkommaüberlauf</translation>
        </message>
        <message>
            <source>Floating point underflow</source>
            <translation>Gleitkommaunterlauf</translation>
        </message>
        <message>
            <source>Range check error</source>
            <translation>Fehler bei der Bereichsprüfung</translation>
        </message>
        <message>
            <source>Invalid floating point operation</source>
            <translation>Ungültige Gleitkommaoperation</translation>
        </message>
        <message>
            <source>Privileged instruction</source>
            <translation>Privilegierte Anweisung</translation>
        </message>
        <message>
            <source>Illegal instruction</source>
            <translation>Ungültige Anweisung</translation>
        </message>
        <message>
            <source>Abnormal program termination</source>
            <translation>Abnormale Programmbeendigung</translation>
        </message>
        <message>
            <source>External exception %1</source>
            <translation>Externe Ausnahme %1</translation>
        </message>
    </context>
    <context>
        <name>VostMail</name>
        <message>
            <source>The bug report was not sent through the mail server %1: without encryption its password would cross the network in clear text. A password is only sent to a mail server on this computer.</source>
            <translation>Der Fehlerbericht wurde nicht über den Mailserver %1 gesendet: Ohne Verschlüsselung ginge sein Passwort im Klartext über das Netz. Ein Passwort wird nur an einen Mailserver auf diesem Computer gesendet.</translation>
        </message>
    </context>
    <context>
        <name>fBatchConvert</name>
        <message>
            <source>File %1 already exists. Do you want to overwrite?</source>
            <translation>Die Datei %1 ist bereits vorhanden. Möchten Sie sie überschreiben?</translation>
        </message>
        <message>
            <source>Source directory does not exist</source>
            <translation>Der Quellordner ist nicht vorhanden</translation>
        </message>
        <message>
            <source>Destination directory does not exist</source>
            <translation>Der Zielordner ist nicht vorhanden</translation>
        </message>
        <message>
            <source>No files selected</source>
            <translation>Keine Dateien ausgewählt</translation>
        </message>
        <message>
            <source>Source and destination types are equal</source>
            <translation>Quell- und Zielformat sind gleich</translation>
        </message>
        <message>
            <source>Extension "%1" of filename does not match selected filetype.</source>
            <translation>Die Endung "%1" des Dateinamens passt nicht zum gewählten Dateityp.</translation>
        </message>
        <message>
            <source>Destination filename not set</source>
            <translation>Kein Name für die Zieldatei angegeben</translation>
        </message>
        <message>
            <source>The destination %1 is not a full path; choose its folder</source>
            <translation>Das Ziel %1 ist kein vollständiger Pfad; wählen Sie seinen Ordner</translation>
        </message>
        <message>
            <source>No destination type(s) selected</source>
            <translation>Kein Zielformat ausgewählt</translation>
        </message>
        <message>
            <source>Destination type conflict, you can have only one destination format per file extension (duplicate extension: %1)</source>
            <translation>Zielformate widersprechen sich, je Dateiendung ist nur ein Zielformat möglich (doppelte Endung: %1)</translation>
        </message>
        <message>
            <source>The target %1 is one of the source files; choose another destination</source>
            <translation>Das Ziel %1 ist eine der Quelldateien; wählen Sie ein anderes Ziel</translation>
        </message>
        <message>
            <source>An error occured during conversion:

%1

Do you want to continue the conversion?</source>
            <translation>Bei der Konvertierung ist ein Fehler aufgetreten:

%1

Möchten Sie die Konvertierung fortsetzen?</translation>
        </message>
        <message>
            <source>No source files selected</source>
            <translation>Keine Quelldateien ausgewählt</translation>
        </message>
    </context>
    <context>
        <name>fMDIChild</name>
        <message>
            <source>Untitled</source>
            <translation>Unbenannt</translation>
        </message>
        <message>
            <source>When the data is saved as "%1", one or more coordinates loose their precision, because this format uses a precision of %2 decimals.

Do you want to continue the save?</source>
            <translation>Beim Speichern als "%1" verlieren eine oder mehrere Koordinaten an Genauigkeit, weil dieses Format eine Genauigkeit von %2 Dezimalstellen verwendet.

Möchten Sie mit dem Speichern fortfahren?</translation>
        </message>
        <message>
            <source>Remote file %1 already exists. Do you want to overwrite it?</source>
            <translation>Die Gerätedatei %1 ist bereits vorhanden. Möchten Sie sie überschreiben?</translation>
        </message>
        <message>
            <source>Could not create remote file %1</source>
            <translation>Die Gerätedatei %1 konnte nicht angelegt werden</translation>
        </message>
        <message>
            <source>No items found</source>
            <translation>Keine Einträge gefunden</translation>
        </message>
        <message>
            <source>No more items found</source>
            <translation>Keine weiteren Einträge gefunden</translation>
        </message>
        <message>
            <source>New entry #%1</source>
            <translation>Neuer Eintrag #%1</translation>
        </message>
    </context>
    <context>
        <name>fMain</name>
        <message>
            <source>%1 (Remote)</source>
            <comment>a recent file on the device</comment>
            <translation>%1 (Gerät)</translation>
        </message>
    </context>
    <context>
        <name>fMapEmbedHtml</name>
        <message>
            <source>No temporary folder for the map page could be created</source>
            <translation>Für die Kartenseite konnte kein temporärer Ordner angelegt werden</translation>
        </message>
    </context>
    <context>
        <name>fMapPointEmbed</name>
        <message>
            <source>MapPoint application or version not found. Setup your MapPoint version in the General tab section of the preferences dialog</source>
            <translation>MapPoint-Anwendung oder -Version nicht gefunden. Stellen Sie Ihre MapPoint-Version auf der Registerkarte Allgemein der Einstellungen ein</translation>
        </message>
    </context>
    <context>
        <name>fRetrieveVersionInfo</name>
        <message>
            <source>Invalid xml, no document element found<byte value="xd" /><byte value="xd" />%1</source>
            <translation>Ungültiges XML, kein Dokumentelement gefunden<byte value="xd" /><byte value="xd" />%1</translation>
        </message>
        <message>
            <source>Online version information invalid</source>
            <translation>Die Online-Versionsinformation ist ungültig</translation>
        </message>
        <message>
            <source>Unable to retrieve online version information.</source>
            <translation>Die Online-Versionsinformation konnte nicht abgerufen werden.</translation>
        </message>
        <message>
            <source>Cannot retrieve online file information (%1) because of the following error:<byte value="xd" /><byte value="xd" />%2<byte value="xd" /><byte value="xd" />Please check your internet connection</source>
            <translation>Die Online-Dateiinformation (%1) kann wegen des folgenden Fehlers nicht abgerufen werden:<byte value="xd" /><byte value="xd" />%2<byte value="xd" /><byte value="xd" />Bitte prüfen Sie Ihre Internetverbindung</translation>
        </message>
        <message>
            <source>version info</source>
            <translation>Versionsinformation</translation>
        </message>
        <message>
            <source>Could not download version information because of the following exception:<byte value="xd" /><byte value="xd" />"%1".</source>
            <translation>Die Versionsinformation konnte wegen der folgenden Ausnahme nicht heruntergeladen werden:<byte value="xd" /><byte value="xd" />„%1“.</translation>
        </message>
    </context>
    <context>
        <name>uAscii</name>
        <message>
            <source>Save using global precision</source>
            <translation>Mit der allgemeinen Genauigkeit speichern</translation>
        </message>
        <message>
            <source>The precision of the poi coordinates is adjustable in the Tarvell configuration screen. When<byte value="xd" />this option is checked, the coordinates will be saved using the specified precision, else they<byte value="xd" />will be saved using the precision specified below.</source>
            <translation>Die Genauigkeit der POI-Koordinaten lässt sich in den Tarvell-Einstellungen festlegen. Ist diese<byte value="xd" />Option aktiviert, werden die Koordinaten mit der dort festgelegten Genauigkeit gespeichert, sonst<byte value="xd" />mit der unten angegebenen Genauigkeit.</translation>
        </message>
        <message>
            <source>Save using precision</source>
            <translation>Mit dieser Genauigkeit speichern</translation>
        </message>
        <message>
            <source>The precision in which to save the poi coordinates.</source>
            <translation>Die Genauigkeit, mit der die POI-Koordinaten gespeichert werden.</translation>
        </message>
        <message>
            <source>Treat column 3 as the description</source>
            <translation>Spalte 3 als Beschreibung verwenden</translation>
        </message>
        <message>
            <source>Garmin CSV files can contain 3 or 4 columns. The last 1 or 2 columns are used for the<byte value="xd" />description field inside Tarvell. When this option is checked, Tarvell will be forced to treat<byte value="xd" />the 3th column as the description instead of using the 4th when it is available.</source>
            <translation>Garmin-CSV-Dateien können 3 oder 4 Spalten enthalten. Die letzten 1 oder 2 Spalten bilden in<byte value="xd" />Tarvell das Beschreibungsfeld. Ist diese Option aktiviert, verwendet Tarvell stets die 3. Spalte<byte value="xd" />als Beschreibung, statt der 4. Spalte, wenn diese vorhanden ist.</translation>
        </message>
        <message>
            <source>%1 to %2 values expected on line %3</source>
            <translation>%1 bis %2 Werte in Zeile %3 erwartet</translation>
        </message>
    </context>
    <context>
        <name>uAutoStart</name>
        <message>
            <source>Could not store the automatic start registration. To toggle the "Update on connect" option, the settings file %1 must be writable</source>
            <translation>Die Registrierung für den automatischen Start konnte nicht gespeichert werden. Um die Option „Beim Verbinden aktualisieren“ umzuschalten, muss die Einstellungsdatei %1 beschreibbar sein</translation>
        </message>
        <message>
            <source>The profiles %1 are not updated on device connection: a profile name with a double quote cannot be passed on. Rename the profiles to include them.</source>
            <translation>Die Profile %1 werden beim Verbinden des Geräts nicht aktualisiert: Ein Profilname mit doppeltem Anführungszeichen kann nicht übergeben werden. Benennen Sie die Profile um, damit sie einbezogen werden.</translation>
        </message>
    </context>
    <context>
        <name>uAutoUpdate</name>
        <message>
            <source>Cannot download "%1" because the following error: <byte value="xd" /><byte value="xd" />%2.</source>
            <translation>"%1" kann wegen des folgenden Fehlers nicht heruntergeladen werden: <byte value="xd" /><byte value="xd" />%2.</translation>
        </message>
        <message>
            <source>Cannot commit to "%1" because the following error: <byte value="xd" /><byte value="xd" />%2.</source>
            <translation>An "%1" kann wegen des folgenden Fehlers nicht gesendet werden: <byte value="xd" /><byte value="xd" />%2.</translation>
        </message>
        <message>
            <source>%1<byte value="xd" /><byte value="xd" />Please check your connection and your username/password if you are downloading from a site which requires registration</source>
            <translation>%1<byte value="xd" /><byte value="xd" />Bitte prüfen Sie Ihre Verbindung sowie Benutzername und Kennwort, wenn Sie von einer Site herunterladen, die eine Registrierung erfordert</translation>
        </message>
        <message>
            <source>Invalid url %1</source>
            <translation>Ungültige URL %1</translation>
        </message>
        <message>
            <source>'%1' is not a valid date and time</source>
            <translation>'%1' ist kein gültiges Datum mit Uhrzeit</translation>
        </message>
        <message>
            <source>Invalid target filename</source>
            <translation>Ungültiger Zieldateiname</translation>
        </message>
        <message>
            <source>Could not read or check file for existence</source>
            <translation>Die Datei konnte nicht gelesen oder auf Vorhandensein geprüft werden</translation>
        </message>
        <message>
            <source>Could not write time to %1</source>
            <translation>Die Zeit konnte nicht in %1 geschrieben werden</translation>
        </message>
        <message>
            <source>Checking for new version...</source>
            <translation>Suche nach neuer Version...</translation>
        </message>
        <message>
            <source>AutoUpdate item "%1" does not (or no longer) exist in the downloaded site's index. Please remove it from the "All Items" tab in the AutoUpdate Manager</source>
            <translation>Das AutoUpdate-Element "%1" ist im heruntergeladenen Index der Site nicht (mehr) vorhanden. Bitte entfernen Sie es auf der Registerkarte "Alle Elemente" des AutoUpdate-Managers</translation>
        </message>
        <message>
            <source>Following error occured: %1</source>
            <translation>Folgender Fehler ist aufgetreten: %1</translation>
        </message>
        <message>
            <source>%1 while querying item</source>
            <translation>%1 beim Abfragen des Elements</translation>
        </message>
        <message>
            <source>%1 while checking for newer version of this poi file</source>
            <translation>%1 bei der Suche nach einer neueren Version dieser POI-Datei</translation>
        </message>
        <message>
            <source>Could not create directory "%1". Check that parent directory is writable and that you have sufficient rights to create a directory within it</source>
            <translation>Der Ordner "%1" konnte nicht angelegt werden. Prüfen Sie, ob der übergeordnete Ordner beschreibbar ist und Sie ausreichende Rechte haben, darin einen Ordner anzulegen</translation>
        </message>
        <message>
            <source>%1 while downloading item</source>
            <translation>%1 beim Herunterladen des Elements</translation>
        </message>
        <message>
            <source>Downloading image...</source>
            <translation>Bild wird heruntergeladen...</translation>
        </message>
        <message>
            <source>%1 image</source>
            <translation>Bild zu %1</translation>
        </message>
        <message>
            <source>Downloading or getting cached version...</source>
            <translation>Herunterladen oder zwischengespeicherte Version holen...</translation>
        </message>
        <message>
            <source>The site sent a web page instead of the POI file</source>
            <translation>Die Site hat statt der POI-Datei eine Webseite gesendet</translation>
        </message>
        <message>
            <source>Downloaded up-to-date POI succesfully, are you sure you want to overwrite the existing one (%1)?</source>
            <translation>Aktuelle POI-Datei erfolgreich heruntergeladen. Möchten Sie die vorhandene Datei (%1) wirklich überschreiben?</translation>
        </message>
        <message>
            <source>Saving new version...</source>
            <translation>Neue Version wird gespeichert...</translation>
        </message>
        <message>
            <source>Saving image...</source>
            <translation>Bild wird gespeichert...</translation>
        </message>
        <message>
            <source>Cannot create file %1</source>
            <translation>Die Datei %1 kann nicht angelegt werden</translation>
        </message>
        <message>
            <source>Finishing...</source>
            <translation>Abschließen...</translation>
        </message>
        <message>
            <source>The site sent an empty answer instead of the POI file</source>
            <translation>Die Site hat statt der POI-Datei eine leere Antwort gesendet</translation>
        </message>
    </context>
    <context>
        <name>uCommaSeparated</name>
        <message>
            <source>%1 values expected on line %2</source>
            <translation>%1 Werte in Zeile %2 erwartet</translation>
        </message>
    </context>
    <context>
        <name>uCommit</name>
        <message>
            <source>Download cancelled by user</source>
            <translation>Download vom Benutzer abgebrochen</translation>
        </message>
        <message>
            <source>The site's code page cannot carry the characters "%1" of "%2". Please write them with other characters before committing.</source>
            <translation>Die Codepage der Site kann die Zeichen "%1" in "%2" nicht übertragen. Bitte schreiben Sie sie vor dem Senden mit anderen Zeichen.</translation>
        </message>
    </context>
    <context>
        <name>uConvertBase</name>
        <message>
            <source>Invalid option index</source>
            <translation>Ungültiger Optionsindex</translation>
        </message>
        <message>
            <source>All supported filetypes</source>
            <translation>Alle unterstützten Dateitypen</translation>
        </message>
        <message>
            <source>All files</source>
            <translation>Alle Dateien</translation>
        </message>
    </context>
    <context>
        <name>uDestinatorDat</name>
        <message>
            <source>Invalid dat file</source>
            <translation>Ungültige dat-Datei</translation>
        </message>
    </context>
    <context>
        <name>uDialogs</name>
        <message>
            <source>Deze melding niet meer tonen</source>
            <translation>Diese Meldung nicht mehr anzeigen</translation>
        </message>
        <message>
            <source>Extension "%1" of filename does not match selected filetype.</source>
            <translation>Die Erweiterung „%1“ des Dateinamens passt nicht zum gewählten Dateityp.</translation>
        </message>
        <message>
            <source>AutoUpdate %1</source>
            <translation>AutoUpdate %1</translation>
        </message>
        <message>
            <source>&amp;All Profiles</source>
            <translation>&amp;Alle Profile</translation>
        </message>
        <message>
            <source>Default</source>
            <translation>Standard</translation>
        </message>
    </context>
    <context>
        <name>uDownload</name>
        <message>
            <source>Unable to download %1</source>
            <translation>%1 kann nicht heruntergeladen werden</translation>
        </message>
        <message>
            <source>Invalid xml</source>
            <translation>Ungültiges XML</translation>
        </message>
        <message>
            <source>Invalid xml, no document element found</source>
            <translation>Ungültiges XML, kein Dokumentelement gefunden</translation>
        </message>
        <message>
            <source>File %1 not found</source>
            <translation>Datei %1 nicht gefunden</translation>
        </message>
        <message>
            <source>Could not copy file %1 to file %2</source>
            <translation>Die Datei %1 konnte nicht nach %2 kopiert werden</translation>
        </message>
        <message>
            <source>The selected site is not supported by this version Tarvell. You need to update to a newer version of Tarvell (minimal version %1) to use this site</source>
            <translation>Die gewählte Site wird von dieser Tarvell-Version nicht unterstützt. Um diese Site zu nutzen, benötigen Sie eine neuere Version von Tarvell (mindestens Version %1)</translation>
        </message>
        <message>
            <source>The answer of %1 is larger than %2 bytes</source>
            <translation>Die Antwort von %1 ist größer als %2 Bytes</translation>
        </message>
    </context>
    <context>
        <name>uExcelXml</name>
        <message>
            <source>File does not contain any worksheets</source>
            <translation>Die Datei enthält keine Arbeitsblätter</translation>
        </message>
        <message>
            <source>Longitude expected in column %1 of row %2</source>
            <translation>Länge in Spalte %1 der Zeile %2 erwartet</translation>
        </message>
        <message>
            <source>Latitude expected in column %1 of row %2</source>
            <translation>Breite in Spalte %1 der Zeile %2 erwartet</translation>
        </message>
    </context>
    <context>
        <name>uGarminGdb</name>
        <message>
            <source>Invalid gdb file header</source>
            <translation>Ungültiger gdb-Dateikopf</translation>
        </message>
        <message>
            <source>Invalid gdb file</source>
            <translation>Ungültige gdb-Datei</translation>
        </message>
        <message>
            <source>Invalid gdb file version</source>
            <translation>Ungültige gdb-Dateiversion</translation>
        </message>
    </context>
    <context>
        <name>uGeneral</name>
        <message>
            <source>'%1' is not a valid hexadecimal value</source>
            <translation>'%1' ist kein gültiger Hexadezimalwert</translation>
        </message>
        <message>
            <source>'%1' is not a valid floating point value</source>
            <translation>'%1' ist kein gültiger Gleitkommawert</translation>
        </message>
        <message>
            <source>'%1' is not a valid integer value</source>
            <translation>'%1' ist kein gültiger ganzzahliger Wert</translation>
        </message>
        <message>
            <source>Unable to write the settings file %1: %2</source>
            <translation>Die Einstellungsdatei %1 kann nicht geschrieben werden: %2</translation>
        </message>
        <message>
            <source>Stream read error at offset %1</source>
            <translation>Lesefehler im Datenstrom an Position %1</translation>
        </message>
    </context>
    <context>
        <name>uGpx</name>
        <message>
            <source>Use desc tag instead of name tag when available</source>
            <translation>Wenn vorhanden, das desc-Element statt des name-Elements verwenden</translation>
        </message>
        <message>
            <source>The GPX format defines 2 possible places where the description of the poi may be entered.<byte value="xd" />If you check this option, Tarvell will use the "desc" tag as the poi description instead of the<byte value="xd" />"name" tag. When the prefered tag is not available, Tarvell will automatically try the other tag.</source>
            <translation>Das GPX-Format kennt 2 Stellen, an denen die Beschreibung eines POI stehen kann.<byte value="xd" />Ist diese Option aktiviert, verwendet Tarvell das Element "desc" statt des Elements<byte value="xd" />"name" als Beschreibung. Fehlt das bevorzugte Element, versucht Tarvell automatisch das andere.</translation>
        </message>
        <message>
            <source>Retain extra poi information present in GPX file</source>
            <translation>Zusätzliche POI-Angaben der GPX-Datei beibehalten</translation>
        </message>
        <message>
            <source>If you check this option, Tarvell will load the extra poi information that might be present in<byte value="xd" />the GPX file. When saving back to the same file, or another GPX file, Tarvell will reinsert<byte value="xd" />this information.</source>
            <translation>Ist diese Option aktiviert, lädt Tarvell die zusätzlichen POI-Angaben, die in der GPX-Datei<byte value="xd" />vorhanden sein können. Beim Speichern in dieselbe oder eine andere GPX-Datei fügt Tarvell<byte value="xd" />diese Angaben wieder ein.</translation>
        </message>
        <message>
            <source>Invalid xml: %1...</source>
            <translation>Ungültiges XML: %1...</translation>
        </message>
        <message>
            <source>Invalid entry found in GPX format</source>
            <translation>Ungültiger Eintrag im GPX-Format gefunden</translation>
        </message>
    </context>
    <context>
        <name>uKml</name>
        <message>
            <source>Invalid kml: %1...</source>
            <translation>Ungültiges KML: %1...</translation>
        </message>
        <message>
            <source>Invalid value found in coordinates node</source>
            <translation>Ungültiger Wert im coordinates-Element gefunden</translation>
        </message>
    </context>
    <context>
        <name>uLocations</name>
        <message>
            <source>File %1 not found</source>
            <translation>Datei %1 nicht gefunden</translation>
        </message>
        <message>
            <source>not a regular file</source>
            <translation>keine gewöhnliche Datei</translation>
        </message>
        <message>
            <source>it is the file itself</source>
            <translation>es ist die Datei selbst</translation>
        </message>
        <message>
            <source>Cannot create a temporary file in %1: %2</source>
            <translation>In %1 kann keine temporäre Datei angelegt werden: %2</translation>
        </message>
        <message>
            <source>Cannot open file %1: %2</source>
            <translation>Die Datei %1 kann nicht geöffnet werden: %2</translation>
        </message>
        <message>
            <source>Cannot create file %1: %2</source>
            <translation>Die Datei %1 kann nicht angelegt werden: %2</translation>
        </message>
        <message>
            <source>Cannot read file %1: %2</source>
            <translation>Die Datei %1 kann nicht gelesen werden: %2</translation>
        </message>
    </context>
    <context>
        <name>uMap</name>
        <message>
            <source>The map picture %1 cannot be read: %2</source>
            <translation>Das Kartenbild %1 kann nicht gelesen werden: %2</translation>
        </message>
        <message>
            <source>The map picture %1 cannot be read: it is too large</source>
            <translation>Das Kartenbild %1 kann nicht gelesen werden: es ist zu groß</translation>
        </message>
        <message>
            <source>it does not exist</source>
            <translation>es ist nicht vorhanden</translation>
        </message>
        <message>
            <source>The map picture %1 is too large: %2 x %3 pixels; at most %4 megapixels can be shown</source>
            <translation>Das Kartenbild %1 ist zu groß: %2 x %3 Pixel; höchstens %4 Megapixel können angezeigt werden</translation>
        </message>
    </context>
    <context>
        <name>uMapCalibration</name>
        <message>
            <source>the value %1 is missing</source>
            <translation>der Wert %1 fehlt</translation>
        </message>
        <message>
            <source>%1 = %2 is not a position on earth</source>
            <translation>%1 = %2 ist kein Ort auf der Erde</translation>
        </message>
        <message>
            <source>the calibration file is larger than %1 bytes</source>
            <translation>die Kalibrierungsdatei ist größer als %1 Bytes</translation>
        </message>
        <message>
            <source>'%1' is not a valid file size</source>
            <translation>'%1' ist keine gültige Dateigröße</translation>
        </message>
        <message>
            <source>'%1' is not a valid colour</source>
            <translation>'%1' ist keine gültige Farbe</translation>
        </message>
        <message>
            <source>the two calibration points share their X, Y, longitude or latitude</source>
            <translation>die beiden Kalibrierungspunkte haben dasselbe X, Y, dieselbe Länge oder Breite</translation>
        </message>
        <message>
            <source>%1 cannot be read: %2</source>
            <translation>%1 kann nicht gelesen werden: %2</translation>
        </message>
        <message>
            <source>The calibration cannot be saved in the folder %1: %2</source>
            <translation>Die Kalibrierung kann im Ordner %1 nicht gespeichert werden: %2</translation>
        </message>
        <message>
            <source>%1 = '%2' is not a number</source>
            <translation>%1 = '%2' ist keine Zahl</translation>
        </message>
        <message>
            <source>%1 = '%2' is not a whole number</source>
            <translation>%1 = '%2' ist keine ganze Zahl</translation>
        </message>
        <message>
            <source>it is a folder</source>
            <translation>es ist ein Ordner</translation>
        </message>
        <message>
            <source>it is not a regular file (a pipe, a device or a socket)</source>
            <translation>es ist keine gewöhnliche Datei (eine Pipe, ein Gerät oder ein Socket)</translation>
        </message>
        <message>
            <source>it is larger than %1 bytes</source>
            <translation>es ist größer als %1 Bytes</translation>
        </message>
    </context>
    <context>
        <name>uMetafile</name>
        <message>
            <source>The record at offset %1 is too short</source>
            <translation>Der Datensatz an Position %1 ist zu kurz</translation>
        </message>
        <message>
            <source>The bitmap at offset %1 is too short</source>
            <translation>Die Bitmap an Position %1 ist zu kurz</translation>
        </message>
        <message>
            <source>The bitmap at offset %1 has an unknown header</source>
            <translation>Die Bitmap an Position %1 hat einen unbekannten Kopf</translation>
        </message>
        <message>
            <source>The bitmap at offset %1 has a bad size</source>
            <translation>Die Bitmap an Position %1 hat eine ungültige Größe</translation>
        </message>
        <message>
            <source>The bitmap at offset %1 has a bad colour table</source>
            <translation>Die Bitmap an Position %1 hat eine ungültige Farbtabelle</translation>
        </message>
        <message>
            <source>The bitmap at offset %1 cannot be decoded</source>
            <translation>Die Bitmap an Position %1 kann nicht dekodiert werden</translation>
        </message>
        <message>
            <source>The record at offset %1 has a bad size</source>
            <translation>Der Datensatz an Position %1 hat eine ungültige Größe</translation>
        </message>
        <message>
            <source>The record at offset %1 creates more objects than the header allows</source>
            <translation>Der Datensatz an Position %1 legt mehr Objekte an, als der Dateikopf erlaubt</translation>
        </message>
        <message>
            <source>The record at offset %1 names a missing object</source>
            <translation>Der Datensatz an Position %1 nennt ein fehlendes Objekt</translation>
        </message>
        <message>
            <source>The metafile is larger than %1 bytes</source>
            <translation>Die Metadatei ist größer als %1 Bytes</translation>
        </message>
        <message>
            <source>The metafile's placeable header is invalid</source>
            <translation>Der Platzierungskopf der Metadatei ist ungültig</translation>
        </message>
        <message>
            <source>Not a metafile</source>
            <translation>Keine Metadatei</translation>
        </message>
        <message>
            <source>The metafile gives no size</source>
            <translation>Die Metadatei nennt keine Größe</translation>
        </message>
        <message>
            <source>The metafile has a bad size</source>
            <translation>Die Metadatei hat eine ungültige Größe</translation>
        </message>
    </context>
    <context>
        <name>uMioMapV3</name>
        <message>
            <source>Country code</source>
            <translation>Ländercode</translation>
        </message>
        <message>
            <source>Which country code to write in the file (6: Belgium, 7: Luxembourg, 8: Netherlands)</source>
            <translation>Welcher Ländercode in die Datei geschrieben wird (6: Belgien, 7: Luxemburg, 8: Niederlande)</translation>
        </message>
        <message>
            <source>Invalid upd file</source>
            <translation>Ungültige upd-Datei</translation>
        </message>
    </context>
    <context>
        <name>uMitac</name>
        <message>
            <source>Invalid Mitac file</source>
            <translation>Ungültige Mitac-Datei</translation>
        </message>
    </context>
    <context>
        <name>uPocketExport</name>
        <message>
            <source>Make sure you have installed Pocket Tarvell, it is installed either to the default directory, or to an alternate install directory (as setup in Settings tab of the AutoUpdate Manager)</source>
            <translation>Stellen Sie sicher, dass Pocket Tarvell installiert ist, entweder im Standardverzeichnis oder in einem anderen Installationsverzeichnis (wie auf der Seite „Einstellungen“ des AutoUpdate-Managers angegeben)</translation>
        </message>
        <message>
            <source>Cannot write remote registry value %1</source>
            <translation>Der Wert %1 kann nicht in die Registrierung des Geräts geschrieben werden</translation>
        </message>
        <message>
            <source>At this moment PocketTarvell cannot convert between poi file formats, therefore the format of item %1 must match the format in which the site offers this poi (which is %2).<byte value="xd" /><byte value="xd" />Please review your settings and try again.</source>
            <translation>PocketTarvell kann derzeit nicht zwischen POI-Dateiformaten umwandeln; daher muss das Format des Eintrags %1 dem Format entsprechen, in dem die Seite diese POI-Datei anbietet (%2).<byte value="xd" /><byte value="xd" />Bitte prüfen Sie Ihre Einstellungen und versuchen Sie es erneut.</translation>
        </message>
        <message>
            <source>No items in the selection configured with a Mobile Device as their target, please check the destination of the AutoUpdate items</source>
            <translation>Die Auswahl enthält keine Einträge mit einem mobilen Gerät als Ziel; bitte prüfen Sie das Ziel der AutoUpdate-Einträge</translation>
        </message>
        <message>
            <source>The Pocket Tarvell directory does not exist on the mobile device.</source>
            <translation>Das Pocket-Tarvell-Verzeichnis existiert auf dem mobilen Gerät nicht.</translation>
        </message>
    </context>
    <context>
        <name>uRapi</name>
        <message>
            <source>Could not create remote file %1</source>
            <translation>Die Gerätedatei %1 konnte nicht angelegt werden</translation>
        </message>
        <message>
            <source>Could not read from remote file %1</source>
            <translation>Aus der Gerätedatei %1 konnte nicht gelesen werden</translation>
        </message>
        <message>
            <source>Unable to determine number of values in remote registry key</source>
            <translation>Die Anzahl der Werte im Registrierungsschlüssel des Geräts kann nicht ermittelt werden</translation>
        </message>
        <message>
            <source>Unable to read value from remote registry key</source>
            <translation>Der Wert kann nicht aus dem Registrierungsschlüssel des Geräts gelesen werden</translation>
        </message>
        <message>
            <source>Unable to initialize connection to remote device. Please check the device is properly connected, ActiveSync is installed and active and that the device is ActiveSync compatible</source>
            <translation>Die Verbindung zum Gerät kann nicht hergestellt werden. Bitte prüfen Sie, ob das Gerät richtig angeschlossen ist, ActiveSync installiert und aktiv ist und das Gerät ActiveSync-kompatibel ist</translation>
        </message>
        <message>
            <source>CeGetSpecialFolderPath function not loaded</source>
            <translation>Die Funktion CeGetSpecialFolderPath ist nicht geladen</translation>
        </message>
        <message>
            <source>The system cannot find the file specified</source>
            <translation>Das System kann die angegebene Datei nicht finden</translation>
        </message>
        <message>
            <source>The system cannot find the path specified</source>
            <translation>Das System kann den angegebenen Pfad nicht finden</translation>
        </message>
        <message>
            <source>Access is denied</source>
            <translation>Zugriff verweigert</translation>
        </message>
        <message>
            <source>The handle is invalid</source>
            <translation>Das Handle ist ungültig</translation>
        </message>
        <message>
            <source>A device attached to the system is not functioning</source>
            <translation>Ein an das System angeschlossenes Gerät funktioniert nicht</translation>
        </message>
        <message>
            <source>No more data is available</source>
            <translation>Es sind keine weiteren Daten verfügbar</translation>
        </message>
        <message>
            <source>System error %1</source>
            <translation>Systemfehler %1</translation>
        </message>
        <message>
            <source>Could not open remote file %1</source>
            <translation>Die Gerätedatei %1 konnte nicht geöffnet werden</translation>
        </message>
        <message>
            <source>File %1 not found</source>
            <translation>Datei %1 nicht gefunden</translation>
        </message>
        <message>
            <source>Unable to create key in remote registry: %1</source>
            <translation>Der Schlüssel kann in der Registrierung des Geräts nicht angelegt werden: %1</translation>
        </message>
    </context>
    <context>
        <name>uSite</name>
        <message>
            <source>Invalid xml</source>
            <translation>Ungültiges XML</translation>
        </message>
        <message>
            <source>Missing %1 node</source>
            <translation>Element %1 fehlt</translation>
        </message>
        <message>
            <source>Downloaded information invalid, please try again or use the Update button next to the sites list</source>
            <translation>Die heruntergeladenen Angaben sind ungültig. Bitte versuchen Sie es erneut oder verwenden Sie die Schaltfläche Aktualisieren neben der Liste der Sites</translation>
        </message>
        <message>
            <source>Poi item not found in site xml</source>
            <translation>POI-Element im XML der Site nicht gefunden</translation>
        </message>
        <message>
            <source>Invalid site xml: the document element is "%1" instead of "pois"</source>
            <translation>Ungültige Site-XML: Das Dokumentelement ist "%1" statt "pois"</translation>
        </message>
    </context>
    <context>
        <name>uSmartpath</name>
        <message>
            <source>Invalid ovr file</source>
            <translation>Ungültige ovr-Datei</translation>
        </message>
    </context>
    <context>
        <name>uSubscriptions</name>
        <message>
            <source>No additional information available...</source>
            <translation>Keine weiteren Informationen verfügbar...</translation>
        </message>
        <message>
            <source>The target file is already updated by another item. Please remove the updating of this file before assigning it to another item</source>
            <translation>Die Zieldatei wird bereits von einem anderen Eintrag aktualisiert. Bitte entfernen Sie die Aktualisierung dieser Datei, bevor Sie sie einem anderen Eintrag zuweisen</translation>
        </message>
        <message>
            <source>The specified target directory causes 2 or more autoupdate items to update the same file. Please change or remove the target of the conflicting items first</source>
            <translation>Mit dem angegebenen Zielordner würden 2 oder mehr AutoUpdate-Einträge dieselbe Datei aktualisieren. Bitte ändern oder entfernen Sie zuerst das Ziel der betroffenen Einträge</translation>
        </message>
        <message>
            <source>One or more target files are already updated by another item. Please remove the updating of these files before assigning them to other items</source>
            <translation>Eine oder mehrere Zieldateien werden bereits von einem anderen Eintrag aktualisiert. Bitte entfernen Sie die Aktualisierung dieser Dateien, bevor Sie sie anderen Einträgen zuweisen</translation>
        </message>
        <message>
            <source>One or more files already exist. Setting these files to autoupdate causes them to be overwritten on the next update, do you really want these files to be autoupdated?</source>
            <translation>Eine oder mehrere Dateien sind bereits vorhanden. Werden sie per AutoUpdate aktualisiert, werden sie bei der nächsten Aktualisierung überschrieben. Wollen Sie diese Dateien wirklich per AutoUpdate aktualisieren?</translation>
        </message>
        <message>
            <source>[Other]</source>
            <translation>[Sonstige]</translation>
        </message>
        <message>
            <source>[All]</source>
            <translation>[Alle]</translation>
        </message>
        <message>
            <source>Registered</source>
            <translation>Registriert</translation>
        </message>
        <message>
            <source>Subscribed</source>
            <translation>Abonniert</translation>
        </message>
        <message>
            <source>None</source>
            <translation>Keine</translation>
        </message>
        <message>
            <source>Selection contains local and PDA files. Please only select local OR PDA files</source>
            <translation>Die Auswahl enthält lokale und PDA-Dateien. Bitte wählen Sie nur lokale ODER PDA-Dateien</translation>
        </message>
        <message>
            <source>Are you sure you want to unsubscribe these files from AutoUpdate?</source>
            <translation>Wollen Sie diese Dateien wirklich aus dem AutoUpdate entfernen?</translation>
        </message>
        <message>
            <source>Other groups...</source>
            <translation>Andere Gruppen...</translation>
        </message>
    </context>
    <context>
        <name>uTomTom</name>
        <message>
            <source>Optimize</source>
            <translation>Optimieren</translation>
        </message>
        <message>
            <source>Optimize output with skipper records</source>
            <translation>Ausgabe mit Sprungdatensätzen optimieren</translation>
        </message>
        <message>
            <source>Invalid ov2 file</source>
            <translation>Ungültige ov2-Datei</translation>
        </message>
        <message>
            <source>The POIs do not fit into an ov2 file</source>
            <translation>Die POIs passen nicht in eine ov2-Datei</translation>
        </message>
    </context>
    <context>
        <name>uTomTomCfg</name>
        <message>
            <source>No items found in this TomTom Navigator configuration file. Are you sure you are opening a configuration file that belongs to version 5 or higher of TomTom Navigator?</source>
            <translation>In dieser Konfigurationsdatei von TomTom Navigator wurden keine Einträge gefunden. Sind Sie sicher, dass Sie eine Konfigurationsdatei von TomTom Navigator ab Version 5 öffnen?</translation>
        </message>
    </context>
    <context>
        <name>uUpdateItems</name>
        <message>
            <source>'%1' is not a valid date and time</source>
            <translation>'%1' ist kein gültiges Datum mit Uhrzeit</translation>
        </message>
        <message>
            <source>AutoUpdate item for %1 not found</source>
            <translation>AutoUpdate-Element für %1 nicht gefunden</translation>
        </message>
        <message>
            <source>AutoUpdate profile "%1" not found</source>
            <translation>AutoUpdate-Profil "%1" nicht gefunden</translation>
        </message>
        <message>
            <source>Invalid profile name "%1"</source>
            <translation>Ungültiger Profilname "%1"</translation>
        </message>
        <message>
            <source>Profile with name "%1" already exists</source>
            <translation>Ein Profil mit dem Namen "%1" ist bereits vorhanden</translation>
        </message>
        <message>
            <source>Default</source>
            <translation>Standard</translation>
        </message>
    </context>
    <context>
        <name>uXmlDocument</name>
        <message>
            <source>Invalid path %1: %2</source>
            <translation>Ungültiger Pfad %1: %2</translation>
        </message>
    </context>
</TS>
