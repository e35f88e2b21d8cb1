#pragma once
// Where the program's files live.
//
// The configuration file, the database password file "DB" and "Log.TXT" sit beside the
// executable when that folder is writable (portable use), otherwise in the user's
// configuration folder (<config>/kolva-ayar, created when needed). The catalogue
// "db.sqlite" sits beside the executable, or else in the installed data folder
// (<prefix>/share/kolva-ayar, found relative to the executable's <prefix>/bin).
// Every location can be pointed elsewhere (tests never touch real files).

#include <QString>

namespace kolva::paths {

// Folder of the executable.
QString ProgramDir();
// Folder of the configuration, password and log files.
QString DataDir();
// The executable's file name with its extension replaced by ".ini" (or ".ini" appended).
QString ConfigFile();
// The database password file "DB" (no extension).
QString PasswordFile();
// "Log.TXT".
QString LogTxtFile();
// The catalogue "db.sqlite".
QString CatalogueFile();

// Empty text removes an override.
void SetDataDirOverride(const QString& dir);
void SetCatalogueOverride(const QString& file);
// Pretend the executable is this file (its folder and name rule the locations above).
void SetExecutableOverride(const QString& file);

// The user's configuration folder used when the program's folder is not writable.
QString UserConfigDir();

} // namespace kolva::paths
