<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>LocUtils</name>
    <message>
        <location filename="../../src/app/uLanguageMenu.cpp" line="18"/>
        <source>Error populating menu</source>
        <translation>Fehler beim Füllen des Menüs</translation>
    </message>
    <message>
        <location filename="../../src/app/uLanguageMenu.cpp" line="90"/>
        <source>Preferred language not found, defaulting to English...</source>
        <translation>Bevorzugte Sprache nicht gefunden, es wird Englisch verwendet...</translation>
    </message>
    <message>
        <location filename="../../src/lang/uQLocUtils.cpp" line="186"/>
        <source>Error loading resource file %1</source>
        <translation>Fehler beim Laden der Ressourcendatei %1</translation>
    </message>
    <message>
        <location filename="../../src/lang/uQLocUtils.cpp" line="191"/>
        <source>Invalid resource file format %1</source>
        <translation>Ungültiges Format der Ressourcendatei %1</translation>
    </message>
    <message>
        <location filename="../../src/lang/uQLocUtils.cpp" line="333"/>
        <source>Can not get locale info</source>
        <translation>Gebietsschema-Informationen nicht verfügbar</translation>
    </message>
    <message>
        <location filename="../../src/lang/uQLocUtils.cpp" line="357"/>
        <source>Language %1</source>
        <translation>Sprache %1</translation>
    </message>
    <message>
        <location filename="../../src/lang/uQLocUtils.cpp" line="443"/>
        <source>Resource file %1 is not synhronized with executable.</source>
        <translation>Die Ressourcendatei %1 passt nicht zum Programm.</translation>
    </message>
    <message>
        <location filename="../../src/lang/uQLocUtils.cpp" line="444"/>
        <source>Build the language file again from the current translation sources.</source>
        <translation>Erstellen Sie die Sprachdatei neu aus den aktuellen Übersetzungsquellen.</translation>
    </message>
</context>
<context>
    <name>TSiteXmlUpdater</name>
    <message>
        <location filename="../../src/app/uSiteXmlUpdater.cpp" line="33"/>
        <source>Downloading...</source>
        <translation>Herunterladen...</translation>
    </message>
    <message>
        <location filename="../../src/app/uSiteXmlUpdater.cpp" line="49"/>
        <source>Download cancelled by user</source>
        <translation>Download vom Benutzer abgebrochen</translation>
    </message>
</context>
<context>
    <name>TfmAddSite</name>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="54"/>
        <source>Add Poi Site...</source>
        <translation>POI-Site hinzufügen...</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="55"/>
        <source>Url or filename:</source>
        <translation>URL oder Dateiname:</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="56"/>
        <source>Enter the url of the poi site xml. You can also add an xml file on your computer, e.g. to update poi files from your desktop to your navigation device.</source>
        <translation>Geben Sie die URL der POI-Site-XML ein. Sie können auch eine XML-Datei auf Ihrem Computer angeben, z. B. um POI-Dateien von Ihrem Desktop auf Ihr Navigationsgerät zu aktualisieren.</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="58"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="59"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="76"/>
        <source>Invalid location specified, the xml location must be prefixed with http:// for internet locations or file:// for local files</source>
        <translation>Ungültiger Ort angegeben, der XML-Ort muss für Internetadressen mit http:// und für lokale Dateien mit file:// beginnen</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="81"/>
        <source>File %1 not found</source>
        <translation>Datei %1 nicht gefunden</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="86"/>
        <source>Invalid url %1</source>
        <translation>Ungültige URL %1</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="92"/>
        <source>Open poi site xml file...</source>
        <translation>POI-Site-XML-Datei öffnen...</translation>
    </message>
    <message>
        <location filename="../../src/app/fAddSite.cpp" line="93"/>
        <source>Xml Files (*.xml)</source>
        <translation>XML-Dateien (*.xml)</translation>
    </message>
</context>
<context>
    <name>TfmConfirmDialog</name>
    <message>
        <location filename="../../src/app/fConfirmDialog.ui" line="6"/>
        <source>Confirm...</source>
        <translation>Bestätigen...</translation>
    </message>
    <message>
        <location filename="../../src/app/fConfirmDialog.ui" line="14"/>
        <source>Always &quot;Yes to All&quot;</source>
        <translation>Immer „Ja, alle“</translation>
    </message>
    <message>
        <location filename="../../src/app/fConfirmDialog.ui" line="17"/>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <location filename="../../src/app/fConfirmDialog.ui" line="18"/>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <location filename="../../src/app/fConfirmDialog.ui" line="19"/>
        <source>Yes to All</source>
        <translation>Ja, alle</translation>
    </message>
    <message>
        <location filename="../../src/app/fConfirmDialog.ui" line="20"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TfmProgress</name>
    <message>
        <location filename="../../src/app/fProgress.ui" line="21"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TfmStatus</name>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="33"/>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="38"/>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="452"/>
        <source>Cannot download &quot;%1&quot; because the following error: <byte value="xd"/><byte value="xd"/>%2.</source>
        <translation>&quot;%1&quot; kann wegen des folgenden Fehlers nicht heruntergeladen werden: <byte value="xd"/><byte value="xd"/>%2.</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="453"/>
        <source>Please check your internet connection</source>
        <translation>Bitte prüfen Sie Ihre Internetverbindung</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="454"/>
        <source>The sites status page on the Tarvell web site of Orvik Software shows whether a site is known to be down</source>
        <translation>Die Seite zum Site-Status auf der Tarvell-Website von Orvik Software zeigt, ob eine Site bekanntermaßen ausgefallen ist</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="70"/>
        <location filename="../../src/app/fStatus.cpp" line="400"/>
        <source>Unable to download associated site xml</source>
        <translation>Die zugehörige Site-XML konnte nicht heruntergeladen werden</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="143"/>
        <source>Tarvell AutoUpdate Status...</source>
        <translation>Tarvell AutoUpdate-Status...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="144"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="144"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="145"/>
        <source>Auto close</source>
        <translation>Automatisch schließen</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="186"/>
        <source>Target</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="191"/>
        <source>Waiting to be processed...</source>
        <translation>Wartet auf Bearbeitung...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="237"/>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="246"/>
        <source>%1 updated</source>
        <translation>%1 aktualisiert</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="248"/>
        <source>%1 already up-to-date</source>
        <translation>%1 bereits aktuell</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="250"/>
        <source>%1 failed</source>
        <translation>%1 fehlgeschlagen</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="252"/>
        <source>%1 skipped</source>
        <translation>%1 übersprungen</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="261"/>
        <source>Waiting...</source>
        <translation>Warten...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="290"/>
        <location filename="../../src/app/fStatus.cpp" line="300"/>
        <source>Downloading...</source>
        <translation>Herunterladen...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="316"/>
        <source>Starting...</source>
        <translation>Start...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="328"/>
        <location filename="../../src/app/fStatus.cpp" line="425"/>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="334"/>
        <source>Updating file %1 of %2</source>
        <translation>Aktualisiere Datei %1 von %2</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="347"/>
        <source>Checking updated site xml file...</source>
        <translation>Prüfe aktualisierte Site-XML-Datei...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="360"/>
        <source>Checked site xml file...</source>
        <translation>Site-XML-Datei geprüft...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="365"/>
        <source>Checking...</source>
        <translation>Prüfe...</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="383"/>
        <source>Updated</source>
        <translation>Aktualisiert</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="386"/>
        <source>Already up to date</source>
        <translation>Bereits aktuell</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="405"/>
        <source>Do you want to continue?</source>
        <translation>Möchten Sie fortfahren?</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="406"/>
        <source>Continue on subsequent errors</source>
        <translation>Bei weiteren Fehlern fortfahren</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="413"/>
        <source>Finished</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <location filename="../../src/app/fStatus.cpp" line="445"/>
        <source>Cannot execute the AutoUpdate application that is specified in the AutoUpdate manager settings:<byte value="xd"/>%1<byte value="xd"/><byte value="xd"/>Please check if the application exists in the specified location.</source>
        <translation>Das in den Einstellungen des AutoUpdate-Managers angegebene AutoUpdate-Programm kann nicht ausgeführt werden:<byte value="xd"/>%1<byte value="xd"/><byte value="xd"/>Bitte prüfen Sie, ob das Programm am angegebenen Ort vorhanden ist.</translation>
    </message>
</context>
<context>
    <name>TfmTarvellMainForm</name>
    <message>
        <location filename="../../src/app/fMain.cpp" line="79"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="83"/>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="86"/>
        <source>&amp;Tools</source>
        <translation>E&amp;xtras</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="88"/>
        <source>&amp;AutoUpdate</source>
        <translation>&amp;AutoUpdate</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="90"/>
        <source>&amp;Window</source>
        <translation>&amp;Fenster</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="93"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="391"/>
        <source>&amp;Language</source>
        <translation>&amp;Sprache</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="395"/>
        <source>Tool bar</source>
        <translation>Symbolleiste</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="396"/>
        <source>Tarvell...</source>
        <translation>Tarvell...</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="397"/>
        <source>AutoUpdate Profile</source>
        <translation>AutoUpdate-Profil</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="398"/>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="464"/>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="653"/>
        <source>Find items</source>
        <translation>Einträge suchen</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="653"/>
        <source>Enter search string below</source>
        <translation>Suchbegriff unten eingeben</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="657"/>
        <source>No search string entered</source>
        <translation>Kein Suchbegriff eingegeben</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="753"/>
        <source>AutoUpdate profile &quot;%1&quot; not found</source>
        <translation>AutoUpdate-Profil „%1“ nicht gefunden</translation>
    </message>
    <message>
        <location filename="../../src/app/fMain.cpp" line="757"/>
        <source>No AutoUpdate items found to update</source>
        <translation>Keine AutoUpdate-Einträge zum Aktualisieren gefunden</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="15"/>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="16"/>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="17"/>
        <source>A&amp;ppend</source>
        <translation>&amp;Anhängen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="18"/>
        <source>Open Remote...</source>
        <translation>Vom Gerät öffnen...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="19"/>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="20"/>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="21"/>
        <source>Save Remote...</source>
        <translation>Auf Gerät speichern...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="22"/>
        <source>&amp;Close File</source>
        <translation>Datei s&amp;chließen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="23"/>
        <source>Reconnect</source>
        <translation>Neu verbinden</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="24"/>
        <source>&amp;Hide In Tray</source>
        <translation>In den &amp;Infobereich</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="25"/>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="35"/>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="36"/>
        <source>Copy as text</source>
        <translation>Als Text kopieren</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="37"/>
        <source>Cut</source>
        <translation>Ausschneiden</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="38"/>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="39"/>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="40"/>
        <source>&amp;Insert</source>
        <translation>Eintrag ei&amp;nfügen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="41"/>
        <source>Select &amp;All</source>
        <translation>&amp;Alles auswählen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="42"/>
        <source>I&amp;nvert Selection</source>
        <translation>Auswahl &amp;umkehren</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="43"/>
        <source>&amp;Find</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="44"/>
        <source>Find &amp;Next</source>
        <translation>&amp;Weitersuchen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="45"/>
        <source>Find Duplicates...</source>
        <translation>Doppelte suchen...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="46"/>
        <source>Coordinates Calculator...</source>
        <translation>Koordinatenrechner...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="47"/>
        <source>Batch Convert...</source>
        <translation>Stapelkonvertierung...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="48"/>
        <source>Preferences...</source>
        <translation>Einstellungen...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="49"/>
        <source>AutoUpdate Wizard...</source>
        <translation>AutoUpdate-Assistent...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="50"/>
        <source>AutoUpdate Manager...</source>
        <translation>AutoUpdate-Verwaltung...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="51"/>
        <location filename="../../src/app/uMainActions.cpp" line="52"/>
        <source>AutoUpdate All...</source>
        <translation>AutoUpdate alle...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="53"/>
        <source>AutoUpdate &amp;Profile</source>
        <translation>AutoUpdate-&amp;Profil</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="54"/>
        <location filename="../../src/app/uMainActions.cpp" line="55"/>
        <location filename="../../src/app/uMainActions.cpp" line="56"/>
        <location filename="../../src/app/uMainActions.cpp" line="57"/>
        <location filename="../../src/app/uMainActions.cpp" line="58"/>
        <location filename="../../src/app/uMainActions.cpp" line="59"/>
        <location filename="../../src/app/uMainActions.cpp" line="60"/>
        <location filename="../../src/app/uMainActions.cpp" line="61"/>
        <location filename="../../src/app/uMainActions.cpp" line="62"/>
        <location filename="../../src/app/uMainActions.cpp" line="63"/>
        <source>AutoUpdate %1</source>
        <translation>AutoUpdate %1</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="64"/>
        <source>Go to the Sites Status Page...</source>
        <translation>Zur Statusseite der Sites...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="65"/>
        <source>&amp;Cascade</source>
        <translation>Ü&amp;berlappend</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="66"/>
        <source>Tile &amp;Horizontally</source>
        <translation>&amp;Horizontal anordnen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="67"/>
        <source>Tile &amp;Vertically</source>
        <translation>&amp;Vertikal anordnen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="68"/>
        <source>&amp;Minimize All</source>
        <translation>Alle &amp;minimieren</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="69"/>
        <source>&amp;Arrange All</source>
        <translation>Alle &amp;anordnen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="70"/>
        <source>Next Window</source>
        <translation>Nächstes Fenster</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="71"/>
        <source>Check for Tarvell updates...</source>
        <translation>Nach Tarvell-Aktualisierungen suchen...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="72"/>
        <source>Check every week</source>
        <translation>Jede Woche prüfen</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="73"/>
        <source>Go to Tarvell Page...</source>
        <translation>Zur Tarvell-Seite...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="74"/>
        <source>Online Tarvell FAQ...</source>
        <translation>Tarvell-FAQ online...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="75"/>
        <source>Goto Tarvell forum...</source>
        <translation>Zum Tarvell-Forum...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="76"/>
        <source>System Info...</source>
        <translation>Systeminformationen...</translation>
    </message>
    <message>
        <location filename="../../src/app/uMainActions.cpp" line="77"/>
        <source>&amp;About...</source>
        <translation>&amp;Info...</translation>
    </message>
</context>
<context>
    <name>uDialogs</name>
    <message>
        <location filename="../../src/app/uDialogs.cpp" line="198"/>
        <source>Deze melding niet meer tonen</source>
        <translation>Diese Meldung nicht mehr anzeigen</translation>
    </message>
    <message>
        <location filename="../../src/app/uDialogs.cpp" line="254"/>
        <source>Extension &quot;%1&quot; of filename does not match selected filetype.</source>
        <translation>Die Erweiterung „%1“ des Dateinamens passt nicht zum gewählten Dateityp.</translation>
    </message>
    <message>
        <location filename="../../src/app/uDialogs.cpp" line="265"/>
        <source>AutoUpdate %1</source>
        <translation>AutoUpdate %1</translation>
    </message>
    <message>
        <location filename="../../src/app/uDialogs.cpp" line="274"/>
        <source>&amp;All Profiles</source>
        <translation>&amp;Alle Profile</translation>
    </message>
    <message>
        <location filename="../../src/app/uDialogs.cpp" line="277"/>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
</context>
</TS>
