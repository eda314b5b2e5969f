#pragma once
// The printer reports print on: one for the program, chosen in the printer set-up
// dialog. Where no printer is installed it writes a PDF file, so a report can always
// be printed.

class QPrinter;
class QString;
class QWidget;

namespace Platform {

// The program's printer, made on first use and freed with the application object.
QPrinter& printer();
// The PDF file the program's printer writes where no printer is installed, until
// Print Setup names another; a report's print suggests its own name in its folder.
QString defaultPdfFile();
// Whether the system has at least one printer installed.
bool printersInstalled();
// Runs the printer set-up dialog on printer(); true when the user confirmed it.
bool printerSetup(QWidget* parent);
// Whether the user has confirmed the printer set-up dialog in this run: where no
// printer is installed, its PDF file and copies are then what printing uses.
bool printerChosen();

} // namespace Platform
