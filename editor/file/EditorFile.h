#pragma once
// Whole bank files (".X5R"): the user's banks, the import bank and the preset
// bank.
#include <QString>

class QFile;
class RemoteMemAPI;

class EditorFile {
public:
    // Messages shown to the user, exactly.
    static const char* const MsgFileNotFound;
    static const char* const MsgFileNotOpened;
    static const char* const MsgParseError;      // %1 = line; append "(" + parser text + ")"
    static const char* const MsgNotEditorFile;
    static const char* const MsgRootTagDifferent;
    static const char* const MsgWrongVersion;
    static const char* const MsgParameterNotFound;
    static const char* const MsgWriteFailed;

    // Files larger than this are not bank files (a full bank is ~300 kB).
    static constexpr qint64 MaxFileSize = 8 * 1024 * 1024;

    // Writes bank as template1..50, bank 0 as editBuffTemplate1..50 and bank
    // 0's current template number. The new content replaces the file only
    // once it is completely written: a failed save leaves the previous file
    // as it was. Touches neither memory nor the edit flags.
    static bool save(RemoteMemAPI* api, int bank, QFile* file, QString* error = nullptr);
    static bool save(RemoteMemAPI* api, int bank, const QString& path, QString* error = nullptr);

    // Reads a bank file into bank (and, with editBuffer, its edit buffers
    // into bank 0 and bank 0's current template number). Nothing read is sent
    // to the keyboard and the file edit flag is not raised. On failure the
    // message goes to error and bank and bank 0 are put back as they were.
    static bool load(RemoteMemAPI* api, int bank, QFile* file, bool editBuffer, QString* error = nullptr);
    static bool load(RemoteMemAPI* api, int bank, const QString& path, bool editBuffer,
                     QString* error = nullptr);
};
