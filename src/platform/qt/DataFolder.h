#pragma once
#include <QString>
#include <QStringList>

// Where the data files are kept when the program starts. A copy unpacked
// into a folder of its own keeps them beside itself, as it always has; an
// installed copy, whose folder is the system's, keeps them in the user's
// own data folder.

// What the choice depends on; currentFolderFacts() reads it off the system.
struct FolderFacts {
    QString option;                        // --folder; empty when not given
    QString executableFolder;
    bool executableFolderWritable = false;
    QStringList installedFolders;          // where installed copies' executables live
    QString xdgDataHome;                   // $XDG_DATA_HOME as set; may be empty
    QString home;
};

struct DataFolderChoice {
    enum class Source { Option, OwnFolder, UserData };
    QString path;   // absolute, without a separator at its end
    Source source = Source::Option;
};

// --folder when given; else the executable's folder when the program may
// write there (root may write anywhere) and it is not where installed copies
// live; else $XDG_DATA_HOME/trivorn,
// or ~/.local/share/trivorn where that is unset or not absolute (a relative
// one is invalid and ignored, as the XDG base directory rules say).
DataFolderChoice chooseDataFolder(const FolderFacts& facts);

FolderFacts currentFolderFacts(const QString& option);

// Makes the user's data folder on first start, readable by its owner only:
// it holds the players' addresses and may hold passwords. False when it is
// not there afterwards.
bool makeUserDataFolder(const QString& path);
