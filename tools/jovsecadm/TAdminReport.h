#pragma once
// jovsecadm's report command: one of the five security reports of the reports window,
// built by the same report definitions and written to a PDF file, with no window
// shown. It needs a QApplication (main makes one on the offscreen platform for it).

class TAdminContext;

namespace TAdminReport {
void report(TAdminContext& context);
} // namespace TAdminReport
