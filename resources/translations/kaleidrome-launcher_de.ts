<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>LauncherCommandLine</name>
    <message>
        <source>Keeps a list of arcade games and starts them in the Kaleidrome emulator.
A second start hands its ROM archive to the launcher that already runs.</source>
        <translation>Verwaltet eine Liste von Arcade-Spielen und startet sie im Emulator Kaleidrome.
Ein zweiter Start übergibt sein ROM-Archiv dem Launcher, der schon läuft.</translation>
    </message>
    <message>
        <source>Shows this help.</source>
        <translation>Zeigt diese Hilfe an.</translation>
    </message>
    <message>
        <source>A ROM archive to start.</source>
        <translation>Ein ROM-Archiv, das gestartet werden soll.</translation>
    </message>
    <message>
        <source>(--help lists the options)</source>
        <translation>(--help zeigt die Optionen)</translation>
    </message>
    <message>
        <source>Only one ROM archive can be started at a time.</source>
        <translation>Es kann nur ein ROM-Archiv auf einmal gestartet werden.</translation>
    </message>
    <message>
        <source>An empty ROM archive path was given.</source>
        <translation>Der Pfad des ROM-Archivs ist leer.</translation>
    </message>
    <message>
        <source>Answers the desktop&apos;s search without showing a window (the session bus starts it so).</source>
        <translation>Beantwortet die Suche des Desktops, ohne ein Fenster zu zeigen (so startet ihn der Sitzungsbus).</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>The emulator reported an error.</source>
        <comment>Alert_1</comment>
        <translation>Der Emulator hat einen Fehler gemeldet.</translation>
    </message>
    <message>
        <source>No ROMs folder is set.</source>
        <comment>Alert_2</comment>
        <translation>Es ist kein ROM-Ordner eingestellt.</translation>
    </message>
    <message>
        <source>The ROMs folder cannot be found.</source>
        <comment>Alert_2_NotFound</comment>
        <translation>Der ROM-Ordner ist nicht zu finden.</translation>
    </message>
    <message>
        <source>Kaleidrome ended with exit status %d. The log window shows what it printed.</source>
        <comment>Alert_3</comment>
        <translation>Kaleidrome wurde mit dem Status %d beendet. Das Protokollfenster zeigt, was es ausgegeben hat.</translation>
    </message>
    <message>
        <source>Choose the folder that holds your ROM archives (.zip); games are started from there.</source>
        <comment>Alert_5</comment>
        <translation>Wählen Sie den Ordner mit Ihren ROM-Archiven (.zip). Spiele werden von dort gestartet.</translation>
    </message>
    <message>
        <source>The ROMs folder “%@” cannot be found: it was moved or deleted, or it is on a drive that is not connected. Choose the folder that holds your ROM archives (.zip), or cancel and connect the drive.</source>
        <comment>Alert_5_NotFound</comment>
        <translation>Der ROM-Ordner „%@“ ist nicht zu finden: Er wurde verschoben oder gelöscht, oder er liegt auf einem Laufwerk, das nicht angeschlossen ist. Wählen Sie den Ordner mit Ihren ROM-Archiven (.zip), oder brechen Sie ab und schließen Sie das Laufwerk an.</translation>
    </message>
    <message>
        <source>Choose the emulator program, or turn on &quot;Use the packaged emulator&quot; in Preferences.</source>
        <comment>Alert_7</comment>
        <translation>Wählen Sie das Emulatorprogramm oder schalten Sie in den Einstellungen „Mitgelieferten Emulator verwenden“ ein.</translation>
    </message>
    <message>
        <source>Add %d games from the ROMs folder?</source>
        <comment>Alert_Add</comment>
        <translation>%d Spiele aus dem ROM-Ordner hinzufügen?</translation>
    </message>
    <message>
        <source>%@ holds %d ROM archives that are not in the game list. Each becomes a game named after its archive.</source>
        <comment>Alert_AddInfo</comment>
        <translation>%@ enthält %d ROM-Archive, die nicht in der Spieleliste stehen. Jedes wird ein Spiel mit dem Namen seines Archivs.</translation>
    </message>
    <message>
        <source>There is no ROMs folder to add games from.</source>
        <comment>Alert_AddNoFolder</comment>
        <translation>Es gibt keinen ROM-Ordner, aus dem Spiele hinzugefügt werden könnten.</translation>
    </message>
    <message>
        <source>&quot;%@&quot; is not a folder. Choose the ROMs folder in Preferences first.</source>
        <comment>Alert_AddNoFolderInfo</comment>
        <translation>„%@“ ist kein Ordner. Wählen Sie zuerst in den Einstellungen den ROM-Ordner.</translation>
    </message>
    <message>
        <source>The game list already has every game of the ROMs folder.</source>
        <comment>Alert_AddNone</comment>
        <translation>Die Spieleliste enthält schon jedes Spiel des ROM-Ordners.</translation>
    </message>
    <message>
        <source>None of the %d ROM archives in %@ is missing from the list.</source>
        <comment>Alert_AddNoneInfo</comment>
        <translation>Keines der %d ROM-Archive in %@ fehlt in der Liste.</translation>
    </message>
    <message>
        <source>%@ cannot be started.</source>
        <comment>Alert_CannotStart</comment>
        <translation>%@ kann nicht gestartet werden.</translation>
    </message>
    <message>
        <source>No program on this desktop accepted it. Folders, documents and web pages are opened by the file manager and the web browser set as the desktop&apos;s defaults (xdg-open).</source>
        <comment>Alert_NoOpenerInfo</comment>
        <translation>Kein Programm dieses Desktops hat es angenommen. Ordner, Dokumente und Webseiten öffnen der Dateimanager und der Webbrowser, die der Desktop als Standard eingestellt hat (xdg-open).</translation>
    </message>
    <message>
        <source>There is nothing to open: no path is set for it.</source>
        <comment>Alert_NoPath</comment>
        <translation>Es gibt nichts zu öffnen: Dafür ist kein Pfad eingestellt.</translation>
    </message>
    <message>
        <source>Set the path on the Paths page of Preferences.</source>
        <comment>Alert_NoPathInfo</comment>
        <translation>Stellen Sie den Pfad auf der Seite „Pfade“ der Einstellungen ein.</translation>
    </message>
    <message>
        <source>Nothing is there: it was moved or deleted, or it is on a drive that is not connected.</source>
        <comment>Alert_NotThereInfo</comment>
        <translation>Dort ist nichts: Es wurde verschoben oder gelöscht, oder es liegt auf einem Laufwerk, das nicht angeschlossen ist.</translation>
    </message>
    <message>
        <source>“%@” could not be opened.</source>
        <comment>Alert_OpenFailed</comment>
        <translation>„%@“ konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Remove “%@” from the game list?</source>
        <comment>Alert_Remove</comment>
        <translation>„%@“ aus der Spieleliste entfernen?</translation>
    </message>
    <message>
        <source>Its ROM archive and artwork stay where they are; only the list changes.</source>
        <comment>Alert_RemoveInfo</comment>
        <translation>Sein ROM-Archiv und seine Bilder bleiben, wo sie sind; nur die Liste ändert sich.</translation>
    </message>
    <message>
        <source>Reset all preferences to their initial values?</source>
        <comment>Alert_Reset</comment>
        <translation>Alle Einstellungen auf ihre Anfangswerte zurücksetzen?</translation>
    </message>
    <message>
        <source>The emulator and ROMs paths, the artwork folders and every option go back to their initial values, and the log is cleared. This cannot be undone.</source>
        <comment>Alert_ResetInfo</comment>
        <translation>Die Pfade zum Emulator und zu den ROMs, die Bilderordner und alle Optionen erhalten wieder ihre Anfangswerte, und das Protokoll wird geleert. Das lässt sich nicht rückgängig machen.</translation>
    </message>
    <message>
        <source>The log could not be saved.</source>
        <comment>Alert_SaveFailed</comment>
        <translation>Das Protokoll konnte nicht gesichert werden.</translation>
    </message>
    <message>
        <source>Kaleidrome could not be started.</source>
        <comment>Alert_StartFailed</comment>
        <translation>Kaleidrome konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>%@</source>
        <comment>Alert_StartFailedInfo</comment>
        <translation>%@</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>Button_2</comment>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Choose…</source>
        <comment>Button_4</comment>
        <translation>Auswählen …</translation>
    </message>
    <message>
        <source>Add</source>
        <comment>Button_Add</comment>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Choose Emulator…</source>
        <comment>Button_ChooseEmulator</comment>
        <translation>Emulator wählen…</translation>
    </message>
    <message>
        <source>Log</source>
        <comment>Button_Log</comment>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>Button_OK</comment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Remove</source>
        <comment>Button_Remove</comment>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Reset</source>
        <comment>Button_Reset</comment>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>
*** Kaleidrome ended with exit status %d ***
</source>
        <comment>Error_4</comment>
        <translation>
*** Kaleidrome wurde mit dem Status %d beendet ***
</translation>
    </message>
    <message>
        <source>No game has been played yet.</source>
        <comment>History_Empty</comment>
        <translation>Es wurde noch kein Spiel gespielt.</translation>
    </message>
    <message>
        <source>Play history is off: %@</source>
        <comment>History_Off</comment>
        <translation>Der Spielverlauf ist aus: %@</translation>
    </message>
    <message>
        <source>The Kaleidrome emulator was not found.</source>
        <comment>Install_1</comment>
        <translation>Der Emulator Kaleidrome wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>
*** Play history is off: %@ ***
</source>
        <comment>Log_HistoryOff</comment>
        <translation>
*** Der Spielverlauf ist aus: %@ ***
</translation>
    </message>
    <message>
        <source>
*** Kaleidrome could not be started: %@ ***
</source>
        <comment>Log_StartFailed</comment>
        <translation>
*** Kaleidrome konnte nicht gestartet werden: %@ ***
</translation>
    </message>
    <message>
        <source>Start</source>
        <comment>Opanel_Prompt</comment>
        <translation>Starten</translation>
    </message>
    <message>
        <source>There is no such file.</source>
        <comment>Open_Missing</comment>
        <translation>Diese Datei gibt es nicht.</translation>
    </message>
    <message>
        <source>It is not a regular file.</source>
        <comment>Open_NotRegular</comment>
        <translation>Das ist keine gewöhnliche Datei.</translation>
    </message>
    <message>
        <source>Only ROM archives (.zip) can be started.</source>
        <comment>Open_NotZip</comment>
        <translation>Nur ROM-Archive (.zip) können gestartet werden.</translation>
    </message>
    <message>
        <source>It cannot be read.</source>
        <comment>Open_Unreadable</comment>
        <translation>Die Datei kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Its name has a part “.” or “..”, which would lead out of the ROMs folder.</source>
        <comment>Open_NameLeavesFolder</comment>
        <translation>Sein Name hat einen Teil „.“ oder „..“, der aus dem ROM-Ordner hinausführen würde.</translation>
    </message>
    <message>
        <source>ended normally</source>
        <comment>Outcome_Normal</comment>
        <translation>normal beendet</translation>
    </message>
    <message>
        <source>running</source>
        <comment>Outcome_Running</comment>
        <translation>läuft</translation>
    </message>
    <message>
        <source>killed by signal %d (%@)</source>
        <comment>Outcome_Signal</comment>
        <translation>durch Signal %d (%@) beendet</translation>
    </message>
    <message>
        <source>ended with status %d</source>
        <comment>Outcome_Status</comment>
        <translation>mit Status %d beendet</translation>
    </message>
    <message>
        <source>no end recorded</source>
        <comment>Outcome_Unknown</comment>
        <translation>kein Ende verzeichnet</translation>
    </message>
    <message>
        <source>running for %@</source>
        <comment>Status_Running</comment>
        <translation>läuft seit %@</translation>
    </message>
    <message>
        <source>All preferences were reset to their initial values.
</source>
        <comment>preferences_ini</comment>
        <translation>Alle Einstellungen wurden auf ihre Anfangswerte zurückgesetzt.
</translation>
    </message>
    <message>
        <source>Stop “%@” and start “%@”?</source>
        <comment>Alert_StopAndStart</comment>
        <translation>„%@“ beenden und „%@“ starten?</translation>
    </message>
    <message>
        <source>The running game is asked to end, as Stop Emulator does, before the new one starts.</source>
        <comment>Alert_StopAndStartInfo</comment>
        <translation>Das laufende Spiel wird wie mit „Emulator beenden“ zum Ende aufgefordert, bevor das neue startet.</translation>
    </message>
    <message>
        <source>Stop and Start</source>
        <comment>Button_StopAndStart</comment>
        <translation>Beenden und starten</translation>
    </message>
    <message>
        <source>
*** Kaleidrome was stopped on request: %@ ***
</source>
        <comment>Log_Stopped</comment>
        <translation>
*** Kaleidrome wurde auf Wunsch gestoppt: %@ ***
</translation>
    </message>
    <message>
        <source>stopped on request, %@</source>
        <comment>Outcome_Stopped</comment>
        <translation>auf Wunsch gestoppt, %@</translation>
    </message>
    <message>
        <source>Show Log</source>
        <comment>Button_ShowLog</comment>
        <translation>Protokoll zeigen</translation>
    </message>
    <message>
        <source>%@ ended with a failure</source>
        <comment>Notify_RunFailed</comment>
        <translation>%@ endete mit einem Fehler</translation>
    </message>
    <message>
        <source>Kaleidrome %@.</source>
        <comment>Notify_RunFailedInfo</comment>
        <translation>Kaleidrome wurde %@.</translation>
    </message>
    <message>
        <source>The play data could not be exported.</source>
        <comment>Alert_ExportFailed</comment>
        <translation>Die Spieldaten konnten nicht exportiert werden.</translation>
    </message>
    <message>
        <source>Restore the play history from its copy of %@ (game runs in it: %d)?</source>
        <comment>Alert_HistoryCopy</comment>
        <translation>Den Spielverlauf aus seiner Kopie vom %@ wiederherstellen (Läufe darin: %d)?</translation>
    </message>
    <message>
        <source>The play history cannot be used: %@

The copy brings back your favourites and play figures as they were then. The unusable file is not deleted: it is kept in the same folder, renamed.</source>
        <comment>Alert_HistoryCopyInfo</comment>
        <translation>Der Spielverlauf kann nicht verwendet werden: %@

Die Kopie bringt Ihre Favoriten und Spielzahlen so zurück, wie sie damals waren. Die unbrauchbare Datei wird nicht gelöscht: Sie bleibt umbenannt im selben Ordner.</translation>
    </message>
    <message>
        <source>The play data was not imported.</source>
        <comment>Alert_ImportFailed</comment>
        <translation>Die Spieldaten wurden nicht importiert.</translation>
    </message>
    <message>
        <source>Nothing was changed: %@</source>
        <comment>Alert_ImportFailedInfo</comment>
        <translation>Nichts wurde geändert: %@</translation>
    </message>
    <message>
        <source>The play data was imported.</source>
        <comment>Alert_Imported</comment>
        <translation>Die Spieldaten wurden importiert.</translation>
    </message>
    <message>
        <source>Favourites added: %d.</source>
        <comment>Alert_ImportedFavourites</comment>
        <translation>Hinzugefügte Favoriten: %d.</translation>
    </message>
    <message>
        <source>Runs added: %d. </source>
        <comment>Alert_ImportedInfo</comment>
        <translation>Hinzugefügte Läufe: %d. </translation>
    </message>
    <message>
        <source>The copy of the play history could not be restored.</source>
        <comment>Alert_RestoreFailed</comment>
        <translation>Die Kopie des Spielverlaufs konnte nicht wiederhergestellt werden.</translation>
    </message>
    <message>
        <source>Not Now</source>
        <comment>Button_NotNow</comment>
        <translation>Nicht jetzt</translation>
    </message>
    <message>
        <source>Restore Copy</source>
        <comment>Button_RestoreCopy</comment>
        <translation>Kopie wiederherstellen</translation>
    </message>
    <message>
        <source>
*** The play history could not be copied: %@ ***
</source>
        <comment>Log_HistoryCopyFailed</comment>
        <translation>
*** Der Spielverlauf konnte nicht kopiert werden: %@ ***
</translation>
    </message>
    <message>
        <source>
*** Play history restored from its copy; the unusable file was kept as %@ ***
</source>
        <comment>Log_HistoryRestored</comment>
        <translation>
*** Spielverlauf aus seiner Kopie wiederhergestellt; die unbrauchbare Datei wurde als %@ behalten ***
</translation>
    </message>
    <message>
        <source>unknown: the launcher ended during the run</source>
        <comment>Outcome_LauncherEnded</comment>
        <translation>unbekannt: der Launcher endete während des Laufs</translation>
    </message>
    <message>
        <source>The game list could not be saved.</source>
        <comment>Alert_ListNotSaved</comment>
        <translation>Die Spieleliste konnte nicht gesichert werden.</translation>
    </message>
    <message>
        <source>%@

The file still holds the list as it was saved before; the changes made since the launcher started are not in it.</source>
        <comment>Alert_ListNotSavedInfo</comment>
        <translation>%@

Die Datei enthält die Liste weiter so, wie sie zuvor gesichert wurde; die Änderungen seit dem Start des Launchers fehlen darin.</translation>
    </message>
    <message>
        <source>No copy of the game list is kept yet.</source>
        <comment>Alert_NoListCopies</comment>
        <translation>Es ist noch keine Kopie der Spieleliste aufbewahrt.</translation>
    </message>
    <message>
        <source>Each time the launcher saves a changed list at Quit, it keeps the file it replaces in %@ (the newest 10).</source>
        <comment>Alert_NoListCopiesInfo</comment>
        <translation>Jedes Mal, wenn der Launcher beim Beenden eine geänderte Liste sichert, bewahrt er die ersetzte Datei in %@ auf (die neuesten 10).</translation>
    </message>
    <message>
        <source>Restore the copy of the game list of %@ (%d games)?</source>
        <comment>Alert_RestoreList</comment>
        <translation>Die Kopie der Spieleliste vom %@ (%d Spiele) wiederherstellen?</translation>
    </message>
    <message>
        <source>The copy of the game list could not be restored.</source>
        <comment>Alert_RestoreListFailed</comment>
        <translation>Die Kopie der Spieleliste konnte nicht wiederhergestellt werden.</translation>
    </message>
    <message>
        <source>%@

The game list file is as it was.</source>
        <comment>Alert_RestoreListFailedInfo</comment>
        <translation>%@

Die Datei der Spieleliste ist unverändert.</translation>
    </message>
    <message>
        <source>The file now at %@ is kept beside it under a new name and never deleted; the copy takes its place and the table shows it.</source>
        <comment>Alert_RestoreListInfo</comment>
        <translation>Die Datei, die jetzt unter %@ liegt, wird daneben unter neuem Namen aufbewahrt und nie gelöscht; die Kopie tritt an ihre Stelle und die Tabelle zeigt sie.</translation>
    </message>
    <message>
        <source>Restore</source>
        <comment>Button_Restore</comment>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>
*** No copy was kept of the game list this save replaces: %@ ***
</source>
        <comment>Log_ListCopyFailed</comment>
        <translation>
*** Von der Spieleliste, die diese Sicherung ersetzt, wurde keine Kopie aufbewahrt: %@ ***
</translation>
    </message>
</context>
<context>
    <name>kd::AboutWindow</name>
    <message>
        <source>About Kaleidrome Launcher</source>
        <translation>Über Kaleidrome Launcher</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Starts games in the Kaleidrome arcade emulator.</source>
        <translation>Startet Spiele im Arcade-Emulator Kaleidrome.</translation>
    </message>
    <message>
        <source>Licensed under the GNU General Public License, version 3 or later (GPL-3.0-or-later).</source>
        <translation>Lizenziert unter der GNU General Public License, Version 3 oder neuer (GPL-3.0-or-later).</translation>
    </message>
    <message>
        <source>Home page</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Project page</source>
        <translation>Projektseite</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
</context>
<context>
    <name>kd::AppDelegate</name>
    <message>
        <source>No game list: %1 was not found.

Put your game list there (an XML property list of games, each with a &quot;name&quot;), then start the launcher again. Games can still be started with Game ▸ Open ROM…</source>
        <translation>Keine Spieleliste: %1 wurde nicht gefunden.

Legen Sie Ihre Spieleliste dort ab (eine XML-Property-List von Spielen, jedes mit einem „name“) und starten Sie den Launcher neu. Spiele lassen sich weiterhin mit Spiel ▸ ROM öffnen … starten.</translation>
    </message>
    <message>
        <source>The game list %1 holds no games.</source>
        <translation>Die Spieleliste %1 enthält keine Spiele.</translation>
    </message>
    <message>
        <source>Open &amp;Recent</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>Clear Menu</source>
        <translation>Menü leeren</translation>
    </message>
    <message>
        <source>%1 of %2 games</source>
        <translation>%1 von %2 Spielen</translation>
    </message>
    <message>
        <source>the search “%1”</source>
        <translation>die Suche „%1“</translation>
    </message>
    <message>
        <source>Show Only Available Games</source>
        <translation>Nur verfügbare Spiele zeigen</translation>
    </message>
    <message>
        <source>Show Only Favourites</source>
        <translation>Nur Favoriten zeigen</translation>
    </message>
    <message>
        <source>Every game is hidden by:</source>
        <translation>Alle Spiele werden ausgeblendet durch:</translation>
    </message>
    <message>
        <source>History of %1</source>
        <translation>Verlauf von %1</translation>
    </message>
    <message>
        <source>Gamepad</source>
        <translation>Gamepad</translation>
    </message>
    <message>
        <source>Gamepad: %1</source>
        <translation>Gamepad: %1</translation>
    </message>
    <message>
        <source>The game list cannot be read:
%1

Mend or replace the file, then start the launcher again, or restore a copy kept at an earlier Quit; until then it is left untouched. Games can still be started with Game ▸ Open ROM…</source>
        <translation>Die Spieleliste kann nicht gelesen werden:
%1

Reparieren oder ersetzen Sie die Datei und starten Sie den Launcher neu, oder stellen Sie eine bei einem früheren Beenden aufbewahrte Kopie wieder her; bis dahin bleibt sie unverändert. Spiele lassen sich weiterhin mit Spiel ▸ ROM öffnen … starten.</translation>
    </message>
    <message>
        <source>No game list was read at start, so games added now could not be saved. Restore a kept copy with Game ▸ Restore Game List…, or mend the list and start the launcher again.</source>
        <translation>Beim Start wurde keine Spieleliste gelesen, daher könnten jetzt hinzugefügte Spiele nicht gesichert werden. Stellen Sie mit Spiel ▸ Spieleliste wiederherstellen … eine aufbewahrte Kopie wieder her, oder reparieren Sie die Liste und starten Sie den Launcher neu.</translation>
    </message>
    <message>
        <source>Restore the copy of %1 (%2 games)</source>
        <translation>Die Kopie vom %1 wiederherstellen (%2 Spiele)</translation>
    </message>
    <message>
        <source>Choose the copy of the game list to restore.</source>
        <translation>Wählen Sie die Kopie der Spieleliste, die wiederhergestellt werden soll.</translation>
    </message>
    <message>
        <source>Each save at Quit keeps the list it replaces in %1 (the newest 10).</source>
        <translation>Jede Sicherung beim Beenden bewahrt die Liste, die sie ersetzt, in %1 auf (die neuesten 10).</translation>
    </message>
    <message>
        <source>%1 — cannot be read</source>
        <translation>%1 — nicht lesbar</translation>
    </message>
    <message>
        <source>%1 — %2 games</source>
        <translation>%1 — %2 Spiele</translation>
    </message>
</context>
<context>
    <name>kd::GameListModel</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>Maker</source>
        <translation>Hersteller</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>Players</source>
        <translation>Spieler</translation>
    </message>
    <message>
        <source>The ROM archive is in the ROMs folder</source>
        <translation>Das ROM-Archiv liegt im ROM-Ordner</translation>
    </message>
    <message>
        <source>No ROM archive for this game in the ROMs folder</source>
        <translation>Kein ROM-Archiv für dieses Spiel im ROM-Ordner</translation>
    </message>
    <message>
        <source>ROM</source>
        <translation>ROM</translation>
    </message>
    <message>
        <source>A favourite (click or Ctrl+D to change)</source>
        <translation>Ein Favorit (Klick oder Strg+D ändert das)</translation>
    </message>
    <message>
        <source>Click or press Ctrl+D to make it a favourite</source>
        <translation>Klick oder Strg+D macht es zum Favoriten</translation>
    </message>
    <message>
        <source>Favourite</source>
        <translation>Favorit</translation>
    </message>
    <message>
        <source>★</source>
        <translation>★</translation>
    </message>
    <message>
        <source>Played</source>
        <translation>Gespielt</translation>
    </message>
    <message>
        <source>Last Played</source>
        <translation>Zuletzt gespielt</translation>
    </message>
    <message>
        <source>Play Time</source>
        <translation>Spielzeit</translation>
    </message>
</context>
<context>
    <name>kd::GameTableView</name>
    <message>
        <source>Show All Games</source>
        <translation>Alle Spiele zeigen</translation>
    </message>
</context>
<context>
    <name>kd::GamepadPage</name>
    <message>
        <source>A (south)</source>
        <translation>A (unten)</translation>
    </message>
    <message>
        <source>B (east)</source>
        <translation>B (rechts)</translation>
    </message>
    <message>
        <source>X (west)</source>
        <translation>X (links)</translation>
    </message>
    <message>
        <source>Y (north)</source>
        <translation>Y (oben)</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Guide</source>
        <translation>Guide</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Left stick</source>
        <translation>Linker Stick</translation>
    </message>
    <message>
        <source>Right stick</source>
        <translation>Rechter Stick</translation>
    </message>
    <message>
        <source>Left shoulder</source>
        <translation>Linke Schultertaste</translation>
    </message>
    <message>
        <source>Right shoulder</source>
        <translation>Rechte Schultertaste</translation>
    </message>
    <message>
        <source>D-pad up</source>
        <translation>Steuerkreuz oben</translation>
    </message>
    <message>
        <source>D-pad down</source>
        <translation>Steuerkreuz unten</translation>
    </message>
    <message>
        <source>D-pad left</source>
        <translation>Steuerkreuz links</translation>
    </message>
    <message>
        <source>D-pad right</source>
        <translation>Steuerkreuz rechts</translation>
    </message>
    <message>
        <source>Stop a running game when two buttons are held together</source>
        <translation>Ein laufendes Spiel beenden, wenn zwei Tasten zusammen gehalten werden</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>In the launcher&apos;s windows: D-pad or left stick moves the selection, the shoulder buttons page, A starts the game, Y toggles the favourite, B clears the search or closes the window, Back opens History, Start shows only available games or all. In an alert, A gives its default answer, B cancels. While a game runs, the pad belongs to the game.</source>
        <translation>In den Fenstern des Launchers: Steuerkreuz oder linker Stick bewegen die Auswahl, die Schultertasten blättern seitenweise, A startet das Spiel, Y schaltet den Favoriten um, B leert die Suche oder schließt das Fenster, Zurück öffnet den Verlauf, Start zeigt nur verfügbare oder alle Spiele. In einer Meldung gibt A die Standardantwort, B bricht ab. Während ein Spiel läuft, gehört das Gamepad dem Spiel.</translation>
    </message>
    <message>
        <source>Buttons:</source>
        <translation>Tasten:</translation>
    </message>
    <message>
        <source>Held for:</source>
        <translation>Gehalten für:</translation>
    </message>
</context>
<context>
    <name>kd::HistoryWindow</name>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Game</source>
        <translation>Spiel</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Gestartet</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Ausgang</translation>
    </message>
</context>
<context>
    <name>kd::LauncherActions</name>
    <message>
        <source>&amp;Preferences…</source>
        <translation>&amp;Einstellungen …</translation>
    </message>
    <message>
        <source>&amp;Reset Preferences…</source>
        <translation>Einstellungen &amp;zurücksetzen …</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Start Game</source>
        <translation>Spiel &amp;starten</translation>
    </message>
    <message>
        <source>&amp;Open ROM…</source>
        <translation>ROM &amp;öffnen …</translation>
    </message>
    <message>
        <source>S&amp;top Emulator</source>
        <translation>Emulator &amp;beenden</translation>
    </message>
    <message>
        <source>&amp;Favourite</source>
        <translation>&amp;Favorit</translation>
    </message>
    <message>
        <source>&amp;History</source>
        <translation>&amp;Verlauf</translation>
    </message>
    <message>
        <source>Bring &amp;Emulator to Front</source>
        <translation>&amp;Emulator nach vorne holen</translation>
    </message>
    <message>
        <source>&amp;Add Games from ROMs Folder…</source>
        <translation>Spiele aus dem ROM-Ordner &amp;hinzufügen …</translation>
    </message>
    <message>
        <source>Show Only &amp;Available Games</source>
        <translation>Nur &amp;verfügbare Spiele zeigen</translation>
    </message>
    <message>
        <source>Show Only &amp;Favourites</source>
        <translation>Nur &amp;Favoriten zeigen</translation>
    </message>
    <message>
        <source>Show &amp;Log</source>
        <translation>&amp;Protokoll zeigen</translation>
    </message>
    <message>
        <source>&amp;Find in Log…</source>
        <translation>Im Protokoll su&amp;chen …</translation>
    </message>
    <message>
        <source>Add &amp;Marker</source>
        <translation>&amp;Markierung einfügen</translation>
    </message>
    <message>
        <source>&amp;Save Log…</source>
        <translation>Protokoll &amp;sichern …</translation>
    </message>
    <message>
        <source>&amp;Clear Log</source>
        <translation>Protokoll &amp;leeren</translation>
    </message>
    <message>
        <source>Main Window &amp;1</source>
        <translation>Hauptfenster &amp;1</translation>
    </message>
    <message>
        <source>Main Window &amp;2</source>
        <translation>Hauptfenster &amp;2</translation>
    </message>
    <message>
        <source>Show Emulator &amp;Folder</source>
        <translation>Emulator-&amp;Ordner zeigen</translation>
    </message>
    <message>
        <source>Emulator &amp;README</source>
        <translation>Emulator-&amp;README</translation>
    </message>
    <message>
        <source>Kaleidrome &amp;Home Page</source>
        <translation>Kaleidrome-&amp;Homepage</translation>
    </message>
    <message>
        <source>Kaleidrome &amp;Project Page</source>
        <translation>Kaleidrome-&amp;Projektseite</translation>
    </message>
    <message>
        <source>&amp;About Kaleidrome Launcher</source>
        <translation>Ü&amp;ber Kaleidrome Launcher</translation>
    </message>
    <message>
        <source>&amp;Launcher</source>
        <translation>&amp;Launcher</translation>
    </message>
    <message>
        <source>&amp;Game</source>
        <translation>&amp;Spiel</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
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
        <source>History of This &amp;Game</source>
        <translation>&amp;Verlauf dieses Spiels</translation>
    </message>
    <message>
        <source>Show ROM &amp;Archive in File Manager</source>
        <translation>ROM-&amp;Archiv im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>F&amp;ind Game</source>
        <translation>Spiel s&amp;uchen</translation>
    </message>
    <message>
        <source>Re&amp;move Game</source>
        <translation>Spiel en&amp;tfernen</translation>
    </message>
    <message>
        <source>L&amp;og</source>
        <translation>&amp;Protokoll</translation>
    </message>
    <message>
        <source>E&amp;xport Play Data…</source>
        <translation>Spieldaten e&amp;xportieren…</translation>
    </message>
    <message>
        <source>Im&amp;port Play Data…</source>
        <translation>Spieldaten im&amp;portieren…</translation>
    </message>
    <message>
        <source>Restore Game &amp;List…</source>
        <translation>Spiele&amp;liste wiederherstellen …</translation>
    </message>
</context>
<context>
    <name>kd::LogFindBar</name>
    <message>
        <source>Match case</source>
        <translation>Groß/klein beachten</translation>
    </message>
    <message>
        <source>Find in the log</source>
        <translation>Im Protokoll suchen</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Find the previous match (Shift+Enter)</source>
        <translation>Vorherigen Treffer suchen (Umschalt+Eingabe)</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Find the next match (Enter)</source>
        <translation>Nächsten Treffer suchen (Eingabe)</translation>
    </message>
    <message>
        <source>Close the find bar (Escape)</source>
        <translation>Suchleiste schließen (Esc)</translation>
    </message>
    <message>
        <source>Searching…</source>
        <translation>Suche läuft …</translation>
    </message>
    <message>
        <source>Continued from the top</source>
        <translation>Von oben fortgesetzt</translation>
    </message>
    <message>
        <source>Continued from the bottom</source>
        <translation>Von unten fortgesetzt</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
</context>
<context>
    <name>kd::LogView</name>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
</context>
<context>
    <name>kd::LogWindow</name>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>&amp;Marker</source>
        <translation>&amp;Markierung</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>&amp;Find…</source>
        <translation>&amp;Suchen …</translation>
    </message>
    <message>
        <source>&amp;Save…</source>
        <translation>S&amp;ichern …</translation>
    </message>
</context>
<context>
    <name>kd::MainWindow</name>
    <message>
        <source>Start Game</source>
        <translation>Spiel starten</translation>
    </message>
    <message>
        <source>Kaleidrome Launcher</source>
        <translation>Kaleidrome Launcher</translation>
    </message>
    <message>
        <source>Search games</source>
        <translation>Spiele suchen</translation>
    </message>
    <message>
        <source>No game selected</source>
        <translation>Kein Spiel ausgewählt</translation>
    </message>
</context>
<context>
    <name>kd::PreferencesWindow</name>
    <message>
        <source>Full screen</source>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>Fenster</translation>
    </message>
    <message>
        <source>No crosshairs</source>
        <translation>Kein Fadenkreuz</translation>
    </message>
    <message>
        <source>Player 1</source>
        <translation>Spieler 1</translation>
    </message>
    <message>
        <source>Players 1 and 2</source>
        <translation>Spieler 1 und 2</translation>
    </message>
    <message>
        <source>Keyboard and mouse</source>
        <translation>Tastatur und Maus</translation>
    </message>
    <message>
        <source>Game controller</source>
        <translation>Gamecontroller</translation>
    </message>
    <message>
        <source>Raw input</source>
        <translation>Roheingabe</translation>
    </message>
    <message>
        <source>Kept for the emulator&apos;s own configuration; not passed on its command line:</source>
        <translation>Für die eigene Konfiguration des Emulators aufbewahrt; nicht auf seiner Befehlszeile übergeben:</translation>
    </message>
    <message>
        <source>Use the packaged emulator</source>
        <translation>Mitgelieferten Emulator verwenden</translation>
    </message>
    <message>
        <source>Emulator:</source>
        <translation>Emulator:</translation>
    </message>
    <message>
        <source>ROMs folder:</source>
        <translation>ROM-Ordner:</translation>
    </message>
    <message>
        <source>Use the packaged snapshots</source>
        <translation>Mitgelieferte Bildschirmfotos verwenden</translation>
    </message>
    <message>
        <source>Snapshots:</source>
        <translation>Bildschirmfotos:</translation>
    </message>
    <message>
        <source>Use the packaged icons</source>
        <translation>Mitgelieferte Symbole verwenden</translation>
    </message>
    <message>
        <source>Icons:</source>
        <translation>Symbole:</translation>
    </message>
    <message>
        <source>CPU frequency (MHz):</source>
        <translation>CPU-Frequenz (MHz):</translation>
    </message>
    <message>
        <source>Run without extra threads (-no-threads)</source>
        <translation>Ohne zusätzliche Threads ausführen (-no-threads)</translation>
    </message>
    <message>
        <source>Multi-threaded graphics</source>
        <translation>Grafik in mehreren Threads</translation>
    </message>
    <message>
        <source>Display:</source>
        <translation>Anzeige:</translation>
    </message>
    <message>
        <source>Wide screen</source>
        <translation>Breitbild</translation>
    </message>
    <message>
        <source>Multi-texture rendering</source>
        <translation>Multitexturing</translation>
    </message>
    <message>
        <source>Run unthrottled (-no-throttle)</source>
        <translation>Ohne Bremse ausführen (-no-throttle)</translation>
    </message>
    <message>
        <source>Show frame rate</source>
        <translation>Bildrate anzeigen</translation>
    </message>
    <message>
        <source>Crosshairs:</source>
        <translation>Fadenkreuz:</translation>
    </message>
    <message>
        <source>Vertex shader:</source>
        <translation>Vertex-Shader:</translation>
    </message>
    <message>
        <source>Fragment shader:</source>
        <translation>Fragment-Shader:</translation>
    </message>
    <message>
        <source>Mute sound effects (-no-sound)</source>
        <translation>Soundeffekte stumm (-no-sound)</translation>
    </message>
    <message>
        <source>Mute music (-no-dsb)</source>
        <translation>Musik stumm (-no-dsb)</translation>
    </message>
    <message>
        <source>Swap left and right channels</source>
        <translation>Linken und rechten Kanal tauschen</translation>
    </message>
    <message>
        <source>Balance:</source>
        <translation>Balance:</translation>
    </message>
    <message>
        <source>Input system:</source>
        <translation>Eingabesystem:</translation>
    </message>
    <message>
        <source>Force feedback</source>
        <translation>Force-Feedback</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Auswählen …</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Zeigen</translation>
    </message>
    <message>
        <source>Show in the file manager</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Paths</source>
        <translation>Pfade</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Sound and Input</source>
        <translation>Ton und Eingabe</translation>
    </message>
    <message>
        <source>Command option</source>
        <translation>Befehlsoption</translation>
    </message>
    <message>
        <source>Resolution (px):</source>
        <translation>Auflösung (px):</translation>
    </message>
    <message>
        <source>Sound effects volume (%):</source>
        <translation>Lautstärke der Soundeffekte (%):</translation>
    </message>
    <message>
        <source>Music volume (%):</source>
        <translation>Lautstärke der Musik (%):</translation>
    </message>
    <message>
        <source>Empty: enter a whole number from %1 to %2.</source>
        <translation>Leer: Geben Sie eine ganze Zahl von %1 bis %2 ein.</translation>
    </message>
    <message>
        <source>Not a whole number: enter one from %1 to %2.</source>
        <translation>Keine ganze Zahl: Geben Sie eine von %1 bis %2 ein.</translation>
    </message>
    <message>
        <source>Out of range: enter a whole number from %1 to %2.</source>
        <translation>Außerhalb des Bereichs: Geben Sie eine ganze Zahl von %1 bis %2 ein.</translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation>&amp;Ausführen</translation>
    </message>
    <message>
        <source>Reset to &amp;Initial Values…</source>
        <translation>Auf Anfangswerte &amp;zurücksetzen …</translation>
    </message>
</context>
<context>
    <name>kd::ToolWindow</name>
    <message>
        <source>Close Window</source>
        <translation>Fenster schließen</translation>
    </message>
</context>
</TS>
