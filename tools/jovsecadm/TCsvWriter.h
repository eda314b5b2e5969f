#pragma once
// Cells of the CSV files the product writes, in one place so every file follows the
// same rules.

#include <QString>

namespace TCsvWriter {
// A text cell: quoted when it holds a comma, a quote or a line break. A text a
// spreadsheet would run as a formula (one starting with =, +, -, @, a tab or a carriage
// return) gets a leading apostrophe, so the spreadsheet shows it as text.
QString cell(const QString& text);
} // namespace TCsvWriter
