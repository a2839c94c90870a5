// The tests' layer over the harness; see test_support.h.
#include "support/test_support.h"

#include <commctrl.h>

::testing::AssertionResult AsAssertion(const Outcome &outcome)
{
    if (outcome)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Utf8Text(outcome.why);
}

::testing::AssertionResult FileHolds(const std::string &path, const std::string &text)
{
    std::string content;
    bool read = ReadFileText(path, &content);
    if (read && content == text)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Utf8Text(path) << (read ? " holds " + Utf8Text(content) : " unreadable");
}

namespace {

std::string DescribeReport(ULONG_PTR kind, const std::string &bytes, const std::string &sender)
{
    std::string shown;
    for (char c : bytes)
        shown += c == '\0' ? std::string("<NUL>") : std::string(1, c);
    return Utf8Text("dwData=" + std::to_string(kind) + " cbData=" + std::to_string(bytes.size()) + " from " +
                    sender + " \"" + shown + "\"");
}

}  // namespace

std::vector<std::string> DescribeReports(const std::vector<ReceivedCopyData> &reports, const SenderNames &senders)
{
    std::vector<std::string> lines;
    for (const ReceivedCopyData &report : reports) {
        auto found = senders.find(report.sender);
        std::string line = DescribeReport(report.kind, report.bytes,
                                          found != senders.end() ? found->second : "an unknown window");
        if (report.bytes.size() != report.size)
            line += " (cbData " + std::to_string(report.size) + " without data)";
        lines.push_back(line);
    }
    return lines;
}

std::string ExpectedReport(ULONG_PTR kind, const std::string &text, const std::string &sender)
{
    return DescribeReport(kind, text + '\0', sender);
}

std::string TreeItemText(HWND tree, HTREEITEM item)
{
    char text[2 * MAX_PATH] = "";
    TVITEMA request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = text;
    request.cchTextMax = sizeof text;
    if (item != nullptr)
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request));
    text[sizeof text - 1] = '\0';  // Wine leaves a cut text unterminated
    return text;
}
