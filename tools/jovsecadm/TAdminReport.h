#pragma once
// jovsecadm's report command: one of the security reports of the reports window,
// built by the same report definitions (TReportDefinitions) into a page document and
// written to a PDF file; no window is built. It needs a QGuiApplication (main makes
// one on the offscreen platform for it).

class TAdminContext;

namespace TAdminReport {
void report(TAdminContext& context);
} // namespace TAdminReport
