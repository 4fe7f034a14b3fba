// folders.h — where the game reads its assets and writes the player's files.
//
// A copy run where it was built reads its assets beside the program:
// "Files/Common/" and the game folder "Files/283/". An installed copy (no
// "Files/" beside it) reads the same tree from its installed place, found
// from the program's folder ("../share/games/flingo/" from "games/"), so it
// runs from any prefix. The files the player's game writes ("Setup.ini",
// "Debug.txt", screenshots, and the game folder's "nuscores.dat" and
// "crash.dat") go to the data folder: "Files/" itself when the program runs
// from its build folder and may write there, else "$XDG_DATA_HOME/flingo/"
// ("~/.local/share/flingo/" by default) with the same layout. An installed
// copy always uses the latter; where it cannot be made the data folder stays
// the asset folder, and DataFolderProblem says why.
//
// Once SetUpFolders has run every folder is an absolute path, so no folder
// change can climb out of the game's tree, whatever is missing. Before that
// (tests of one part on its own) each caller's relative fallback is used.
#pragma once

#include <string>

// The game folder's name: the week number as three digits and "/" ("283/").
std::string GameFolder();

// From the program's own folder, where "Files/" sits in a build folder.
// Chooses the data folder and creates it (and its game folder) when needed.
void SetUpFolders(const std::string& programFolder);
// Back to "not set up" (start-up of a fresh run, tests).
void ForgetFolders();
bool FoldersSetUp();

// Absolute folders ending in "/" once set up; "" before.
std::string FilesFolder();       // ".../Files/"
std::string CommonFolder();      // ".../Files/Common/"
std::string GameAssetFolder();   // ".../Files/283/"
std::string DataFolder();        // ".../Files/" or ".../flingo/"
bool DataFolderMoved();          // the data folder is not the asset folder
bool InstalledCopy();            // no "Files/" beside the program
// A line for the log ("" when all is well): the asset folder is missing or
// cannot be read (the game still runs, without those assets).
std::string AssetFolderProblem();
// A line for the log ("" when all is well): the player's data folder could
// not be made or written to (or there is no home folder), so the player's
// files stay in the asset folder, where saves may fail.
std::string DataFolderProblem();

// A player file to write: `name` relative to the data folder ("Setup.ini",
// "283/nuscores.dat"), or `unset` when the folders are not set up.
std::string PlayerFile(const std::string& name, const std::string& unset);
// A player file to read: the data folder's copy when it exists, else the one
// beside the program (saved before "Files/" became read-only), else the data
// folder's path; `unset` when the folders are not set up.
std::string SavedPlayerFile(const std::string& name, const std::string& unset);
