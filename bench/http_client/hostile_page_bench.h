#pragma once

// Prints the cost of a 50 MB response head in one read and of a 5 MB
// description shown by the main window. Needs a QApplication.
void runHostilePageFigures();
