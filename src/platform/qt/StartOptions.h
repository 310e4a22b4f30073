#pragma once
#include <QString>
#include <QStringList>

// What the command line asks of the program. Everything is optional: started
// without arguments, the program keeps its data files where DataFolder.h
// says and runs at real speed.
struct StartOptions {
    QString folder;      // --folder DIR: the data files' folder; empty: the usual one
    int speed = 1;       // --speed N: countdowns and waits run N times faster
    bool help = false;   // --help, -h
    QString error;       // what was wrong with the arguments; empty when none
};

// The highest --speed: a one-minute reply time still lasts a second.
inline constexpr int kMaxSpeed = 60;

// Reads the arguments after the program's name. Both "--folder DIR" and
// "--folder=DIR" are understood; the first mistake ends the reading.
StartOptions parseStartOptions(const QStringList& arguments);

// The text --help prints, in Japanese and English, ending with the folder
// the program would keep its data in.
QString startOptionsHelp(const QString& dataFolder);
