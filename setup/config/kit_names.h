// Names and the code page that every product of the kit shares: the files and folders the
// installation makes beside the product's own, and the code page of every text of the program.
#pragma once

// The uninstaller, installed with the game as a product file.
constexpr char UninstallerName[] = "uninst.exe";
// The players' folder in the installation folder, where the game keeps its saves.
constexpr char SaveFolderName[] = "save";
// The engine's settings file, which the settings tool writes as the player.
constexpr char SettingsFileName[] = "tncfg.dat";
// Its size: the engine reads exactly so many bytes, whatever the player chose.
enum : unsigned { SettingsFileSize = 128 };
// The code page of the program's own texts (window texts, messages, the product's names).
enum : unsigned { ProgramCodePage = 932 };
// The game's movie folder, made by the archives' entries; removed with the installation when empty.
constexpr char MovieFolderName[] = "movie";
