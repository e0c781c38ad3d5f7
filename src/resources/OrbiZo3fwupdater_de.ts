<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MainWindow</name>
    <message>
        <source>Update &amp;history...</source>
        <comment>Menu entry</comment>
        <translation>Aktualisierungs&amp;verlauf...</translation>
    </message>
    <message>
        <source>Custom FW</source>
        <translation>Eigene FW</translation>
    </message>
    <message>
        <source>OrbiZo3 Serial Number:</source>
        <translation>OrbiZo3-Seriennummer:</translation>
    </message>
    <message>
        <source>Current OrbiZo3 Firmware Version:</source>
        <translation>Aktuelle OrbiZo3-Firmwareversion:</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;The selected firmware will be downloaded to the OrbiZo&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Die ausgewählte Firmware wird auf den OrbiZo übertragen&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>This utility will update the firmware of your OrbiZo3 instrument.&lt;br&gt;&lt;br&gt;&lt;b&gt;Please follow on screen instructions very carefully as a failure in the update process may render your instrument unusable.&lt;/b&gt;&lt;br&gt;&lt;br&gt;If you have any questions about when or why you would use this update please contact Korvane or your Korvane reseller.</source>
        <translation>Dieses Programm aktualisiert die Firmware Ihres OrbiZo3-Instruments.&lt;br&gt;&lt;br&gt;&lt;b&gt;Bitte befolgen Sie die Anweisungen auf dem Bildschirm sehr sorgfältig, da ein Fehler während der Aktualisierung Ihr Instrument unbrauchbar machen kann.&lt;/b&gt;&lt;br&gt;&lt;br&gt;Wenn Sie Fragen dazu haben, wann oder warum Sie diese Aktualisierung verwenden sollten, wenden Sie sich bitte an Korvane oder Ihren Korvane-Händler.</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Service</source>
        <translation>&amp;Service</translation>
    </message>
    <message>
        <source>&amp;Update OrbiZo3 firmware</source>
        <comment>Menu entry</comment>
        <translation>OrbiZo3-Firmware &amp;aktualisieren</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>About %1</source>
        <comment>Window title. %1=application name</comment>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>%1 Version: %2
Firmware Version: %3

Copyright (c) %4-%5 Korvane. All rights reserved.</source>
        <comment>Text in about window. %1=AppName. %2=AppVersion. %3=FirmwareVersion. %4=LaunchYear. %5=CurentYear</comment>
        <translation>%1 Version: %2
Firmwareversion: %3

Copyright (c) %4-%5 Korvane. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>OrbiZo3 Firmware (*.zof)</source>
        <translation>OrbiZo3-Firmware (*.zof)</translation>
    </message>
    <message>
        <source>Firmware update failed</source>
        <comment>MsgBox title</comment>
        <translation>Firmwareaktualisierung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Successfully updated firmware.
Please unplug and replug your OrbiZo3 now.</source>
        <comment>MsgBox text</comment>
        <translation>Die Firmware wurde erfolgreich aktualisiert.
Bitte trennen Sie Ihren OrbiZo3 jetzt vom Computer und schließen Sie ihn wieder an.</translation>
    </message>
    <message>
        <source>Successfully updated firmware.</source>
        <comment>MsgBox text</comment>
        <translation>Die Firmware wurde erfolgreich aktualisiert.</translation>
    </message>
    <message>
        <source>Update successful</source>
        <comment>MsgBox title</comment>
        <translation>Aktualisierung erfolgreich</translation>
    </message>
    <message>
        <source>Firmware file not found.</source>
        <translation>Firmwaredatei nicht gefunden.</translation>
    </message>
    <message>
        <source>Close any Orbi application</source>
        <comment>MsgBox1 title</comment>
        <translation>Schließen Sie alle Orbi-Anwendungen</translation>
    </message>
    <message>
        <source>Please close all applications that use the OrbiZo3 instrument.</source>
        <comment>MsgBox1 text</comment>
        <translation>Bitte schließen Sie alle Anwendungen, die das OrbiZo3-Instrument verwenden.</translation>
    </message>
    <message>
        <source>Do you want to update this OrbiZo?</source>
        <comment>MsgBox1 title</comment>
        <translation>Möchten Sie diesen OrbiZo aktualisieren?</translation>
    </message>
    <message>
        <source>Follow the on screen instructions carefully.</source>
        <comment>MsgBox1 text</comment>
        <translation>Befolgen Sie sorgfältig die Anweisungen auf dem Bildschirm.</translation>
    </message>
    <message>
        <source>Do not disconnect the instrument or power down your computer during the update procedure as failure to complete the procedure may render the instrument unusable</source>
        <comment>MsgBox2 title</comment>
        <translation>Trennen Sie das Instrument während der Aktualisierung nicht vom Computer und schalten Sie den Computer nicht aus, da eine abgebrochene Aktualisierung das Instrument unbrauchbar machen kann</translation>
    </message>
    <message>
        <source>The update procedure will take a few moments and you will be notified when it is complete.</source>
        <comment>MsgBox2 text</comment>
        <translation>Die Aktualisierung dauert einige Augenblicke. Sie werden benachrichtigt, sobald sie abgeschlossen ist.</translation>
    </message>
    <message>
        <source>Update in progress</source>
        <comment>MsgBox title</comment>
        <translation>Aktualisierung läuft</translation>
    </message>
    <message>
        <source>Wait until download has been completed.</source>
        <translation>Warten Sie, bis die Übertragung abgeschlossen ist.</translation>
    </message>
    <message>
        <source> (simulated tables)</source>
        <comment>Window title suffix</comment>
        <translation> (simulierte Tische)</translation>
    </message>
    <message>
        <source>&lt;b&gt;Simulated tables (ORBIZO3_SIMULATOR): no real OrbiZo3 is updated.&lt;/b&gt;&lt;br&gt;&lt;br&gt;</source>
        <translation>&lt;b&gt;Simulierte Tische (ORBIZO3_SIMULATOR): Kein echter OrbiZo3 wird aktualisiert.&lt;/b&gt;&lt;br&gt;&lt;br&gt;</translation>
    </message>
</context>
<context>
    <name>Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater</name>
    <message>
        <source>No valid firmware (%1)</source>
        <translation>Keine gültige Firmware (%1)</translation>
    </message>
    <message>
        <source>Firmware file not found.</source>
        <translation>Firmwaredatei nicht gefunden.</translation>
    </message>
    <message>
        <source>Firmware file could not be read completely.</source>
        <translation>Die Firmwaredatei konnte nicht vollständig gelesen werden.</translation>
    </message>
    <message>
        <source>Firmware file is too large.</source>
        <translation>Die Firmwaredatei ist zu groß.</translation>
    </message>
    <message>
        <source>larger than %1 bytes</source>
        <translation>größer als %1 Bytes</translation>
    </message>
</context>
<context>
    <name>HistoryDialog</name>
    <message>
        <source>Update history</source>
        <translation>Aktualisierungsverlauf</translation>
    </message>
    <message>
        <source>Started (UTC)</source>
        <translation>Beginn (UTC)</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Seriennummer</translation>
    </message>
    <message>
        <source>Before</source>
        <translation>Vorher</translation>
    </message>
    <message>
        <source>After</source>
        <translation>Nachher</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Filter by serial number:</source>
        <translation>Nach Seriennummer filtern:</translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation>CSV exportieren...</translation>
    </message>
    <message>
        <source>No update history is kept (--no-history).</source>
        <translation>Es wird kein Aktualisierungsverlauf geführt (--no-history).</translation>
    </message>
    <message>
        <source>embedded %1</source>
        <translation>eingebettet %1</translation>
    </message>
    <message>
        <source>No update recorded.</source>
        <translation>Keine Aktualisierung aufgezeichnet.</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
</context>
<context>
    <name>LastRecordLine</name>
    <message>
        <source>No update of this table recorded yet.</source>
        <translation>Für diesen Tisch ist noch keine Aktualisierung aufgezeichnet.</translation>
    </message>
    <message>
        <source>embedded %1</source>
        <translation>eingebettet %1</translation>
    </message>
    <message>
        <source>Last record: %1 UTC, %2 %3 -&gt; %4, %5 (%6)</source>
        <translation>Letzter Eintrag: %1 UTC, %2 %3 -&gt; %4, %5 (%6)</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Application unexpectly terminated</source>
        <translation>Die Anwendung wurde unerwartet beendet</translation>
    </message>
    <message>
        <source>Unkown Error occured</source>
        <translation>Ein unbekannter Fehler ist aufgetreten</translation>
    </message>
    <message>
        <source>No OrbiZo3 connected</source>
        <translation>Kein OrbiZo3 angeschlossen</translation>
    </message>
    <message>
        <source>Connect an OrbiZo3 instrument.</source>
        <translation>Schließen Sie ein OrbiZo3-Instrument an.</translation>
    </message>
    <message>
        <source>This OrbiZo3 is already in use</source>
        <translation>Dieser OrbiZo3 wird bereits verwendet</translation>
    </message>
    <message>
        <source>Please quit all Orbi applications first.</source>
        <translation>Bitte beenden Sie zuerst alle Orbi-Anwendungen.</translation>
    </message>
    <message>
        <source>OrbiZo3 disconnected</source>
        <translation>OrbiZo3 getrennt</translation>
    </message>
    <message>
        <source>Please disconnect and reconnect the OrbiZo3 and try it again.</source>
        <translation>Bitte trennen Sie den OrbiZo3, schließen Sie ihn wieder an und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Can&apos;t get Firmware version</source>
        <translation>Firmwareversion kann nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>UpdaterController</name>
    <message>
        <source>Update in progress</source>
        <translation>Aktualisierung läuft</translation>
    </message>
    <message>
        <source>Wait until download has been completed.</source>
        <translation>Warten Sie, bis die Übertragung abgeschlossen ist.</translation>
    </message>
</context>
<context>
    <name>UpdaterThread</name>
    <message>
        <source>&lt;br&gt;Start update OrbiZo3 with serial number %1</source>
        <comment>%1 is Serial number</comment>
        <translation>&lt;br&gt;Aktualisierung des OrbiZo3 mit der Seriennummer %1 beginnt</translation>
    </message>
</context>
</TS>
