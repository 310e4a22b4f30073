#pragma once
#include <QString>

#include <functional>

#include "support/TestWorld.h"

class QWidget;

// Each window the operator meets, made as the program makes it, by its class
// name ("Form1" … "Form10", "ResultsWindow"); the caller owns it. An empty
// maker for any other name.
using WindowMaker = std::function<QWidget*(TestWorld&)>;
WindowMaker windowMaker(const QString& name);
