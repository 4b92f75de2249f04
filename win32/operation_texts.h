// The German words of the run-time's report, its language: what the report
// says of itself, and what was being done when a failure ended the run, as
// in "Datei lesen "C:\x.txt": Das System kann die angegebene Datei nicht
// finden.".
#ifndef TESSALY_WIN32_OPERATION_TEXTS_H_
#define TESSALY_WIN32_OPERATION_TEXTS_H_

namespace tessaly::operation_texts {

// The report's heading, before the error's number.
inline constexpr char16_t kRunTimeError[] = u"Laufzeitfehler";
inline constexpr char16_t kOutOfMemory[] = u"Speicher anfordern";
inline constexpr char16_t kInternalError[] = u"Interner Fehler";

// The file to show.
inline constexpr char16_t kCheckFile[] = u"Datei prüfen";
inline constexpr char16_t kOpenFile[] = u"Datei öffnen";
inline constexpr char16_t kFileSize[] = u"Dateigröße ermitteln";
inline constexpr char16_t kReadFile[] = u"Datei lesen";
inline constexpr char16_t kDecodeText[] = u"Text umwandeln";
inline constexpr char16_t kCreateFile[] = u"Datei anlegen";
inline constexpr char16_t kWriteFile[] = u"Datei schreiben";

// The scratch copies.
inline constexpr char16_t kCreateScratchFile[] = u"Hilfsdatei anlegen";
inline constexpr char16_t kCheckScratchFile[] = u"Hilfsdatei prüfen";
inline constexpr char16_t kProtectScratchFile[] = u"Hilfsdatei schützen";
inline constexpr char16_t kRemoveScratchFile[] = u"Hilfsdatei entfernen";
inline constexpr char16_t kFindScratchFiles[] = u"Hilfsdateien suchen";

// Paths and folders.
inline constexpr char16_t kResolvePath[] = u"Pfad auflösen";
inline constexpr char16_t kFindSystemFolder[] = u"Systemordner ermitteln";
inline constexpr char16_t kReachSystemFolder[] = u"Systemordner erreichen";
inline constexpr char16_t kFindTempFolder[] = u"Temporären Ordner ermitteln";
inline constexpr char16_t kFindStartFolder[] = u"Startordner ermitteln";

// Other programs and the screen.
inline constexpr char16_t kStartProgram[] = u"Programm starten";
inline constexpr char16_t kStartProgramPriority[] =
    u"Programm starten (Priorität)";
inline constexpr char16_t kStartProgramFolder[] =
    u"Programm starten (Startordner)";
inline constexpr char16_t kShowMessage[] = u"Meldung anzeigen";
inline constexpr char16_t kHandOverForeground[] = u"Vordergrund übergeben";

}  // namespace tessaly::operation_texts

#endif  // TESSALY_WIN32_OPERATION_TEXTS_H_
