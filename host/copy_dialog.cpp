// The host's own copy command: the modal confirmation dialog and the copy of the selected files.
#include "host.h"
#include "host_protocol.h"
#include "host_resource.h"
#include "timing.h"

namespace {

// Whether the dialog has been shown since it was made.
bool dialogShown;

void OnInitDialog(HWND dialog)
{
    Stamp(Step::kDialogInit);
    host.dialogOpen = dialog;
    host.copiedFiles = -1;
    dialogShown = false;
    if (host.dialogShape & kDialogTitledInSetUp)
        SetWindowTextA(dialog, HOST_CONFIRM_TITLE);
    if (host.dialogShape & kDialogCommandFirst)
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kHostDlgSource, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, kHostDlgSource)));
    if (host.dialogShape & kDialogRenamed)
        SetWindowTextA(dialog, HOST_RENAMED_TITLE);

    std::string source = std::to_string(ListView_GetSelectedCount(host.hwndList)) + " 個のファイルをコピーします";
    SetDlgItemTextA(dialog, kHostDlgSource, source.c_str());

    HWND combo = GetDlgItem(dialog, kHostDlgDestination);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(host.currentPath));
    SetWindowTextA(combo, host.currentPath);

    // A programmatic selection: the destination stays as it is.
    HWND tree = GetDlgItem(dialog, kHostDlgTree);
    FillTreeRoots(tree);
    SelectTreePath(tree, host.currentPath);
    if (host.dialogShape & kDialogShowsItself)
        SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    Stamp(Step::kDialogReady);
}

// Tree levels filled after the dialog's own set-up were asked for by whoever expanded them.
void FillExpandedLevel(HWND tree, HTREEITEM item)
{
    Stamp(Step::kTreeFillStart);
    FillTreeChildren(tree, item);
    Stamp(Step::kTreeFillEnd);
}

// What a plug-in does to the dialog as it is first shown, done by the host itself (/filldialog), so that
// the benchmark can hold the plug-in's work against the same work done without it: the title, the
// destination field, and the folder selected in the tree, its levels filled as they are expanded.
void FillInItself(HWND dialog)
{
    SetWindowTextA(dialog, host.options.fillTitle);
    SetDlgItemTextA(dialog, kHostDlgDestination, host.options.fillFolder);
    SelectTreePath(GetDlgItem(dialog, kHostDlgTree), host.options.fillFolder);
}

// Only a selection the user makes rewrites the destination; one made by a program leaves it alone.
void OnTreeSelChanged(HWND dialog, const NMTREEVIEWA *change)
{
    if (change->action != TVC_BYMOUSE && change->action != TVC_BYKEYBOARD)
        return;
    char path[kPathSize];
    if (TreeItemPath(change->hdr.hwndFrom, change->itemNew.hItem, path, sizeof path))
        SetDlgItemTextA(dialog, kHostDlgDestination, path);
}

void ReportNotCopied(HWND dialog, const std::vector<std::string> &existing, const std::vector<std::string> &failed)
{
    std::string text;
    if (!existing.empty()) {
        text += "次のファイルはコピー先に既にあるため、コピーしませんでした。\n";
        for (const std::string &name : existing)
            text += "  " + name + "\n";
    }
    if (!failed.empty()) {
        if (!text.empty())
            text += "\n";
        text += "次のファイルはコピーできませんでした。\n";
        for (const std::string &name : failed)
            text += "  " + name + "\n";
    }
    MessageBoxA(dialog, text.c_str(), HOST_MESSAGE_CAPTION, MB_OK | MB_ICONWARNING);
}

// Never overwrites: files already at the destination are skipped and named afterwards. A destination
// that is not a folder keeps the dialog open (result false).
bool CopySelection(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, kHostDlgDestination);
    char destination[kPathSize];
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (GetWindowTextLengthA(combo) < kPathSize) {
        GetDlgItemTextA(dialog, kHostDlgDestination, destination, sizeof destination);
        attributes = GetFileAttributesA(destination);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        MessageBoxA(dialog, "コピー先がフォルダではありません。", HOST_MESSAGE_CAPTION, MB_OK | MB_ICONERROR);
        return false;
    }

    std::vector<std::string> existing, failed;
    int copied = 0;
    for (const std::string &name : SelectedNames()) {
        char source[kPathSize], target[kPathSize];
        if (!JoinPath(source, sizeof source, host.currentPath, name.c_str()) ||
            !JoinPath(target, sizeof target, destination, name.c_str()))
            failed.push_back(name);
        else if (CopyFileA(source, target, TRUE))
            ++copied;
        else if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
            existing.push_back(name);
        else
            failed.push_back(name);
    }
    if (!existing.empty() || !failed.empty())
        ReportNotCopied(dialog, existing, failed);
    host.copiedFiles = copied;
    return true;
}

INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;  // focus the first tab stop: this activates the dialog before it is shown
    case WM_NOTIFY: {
        const NMTREEVIEWA *notify = reinterpret_cast<const NMTREEVIEWA *>(lParam);
        if (notify->hdr.idFrom != kHostDlgTree)
            return FALSE;
        if (notify->hdr.code == NM_CUSTOMDRAW) {
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, PaintSelectionAlways(reinterpret_cast<NMHDR *>(lParam)));
            return TRUE;
        }
        if (IsTreeExpanding(notify->hdr.code) && (notify->action & TVE_EXPAND))
            FillExpandedLevel(notify->hdr.hwndFrom, notify->itemNew.hItem);
        else if (IsTreeSelChanged(notify->hdr.code))
            OnTreeSelChanged(dialog, notify);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (CopySelection(dialog))
                EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_SETTEXT:
        Stamp(Step::kDialogRetitled);
        return FALSE;
    case WM_SHOWWINDOW:
        if (wParam && !dialogShown) {
            dialogShown = true;
            if (host.fillDialog)
                FillInItself(dialog);
        }
        if (wParam)
            Stamp(Step::kDialogShown);
        return FALSE;
    case WM_DESTROY:
        // A dialog's own procedure is its class's: whoever subclassed it, from its creation on, must have
        // put that back.
        host.dialogProcRestored =
            GetWindowLongPtrA(dialog, GWLP_WNDPROC) == static_cast<LONG_PTR>(GetClassLongPtrA(dialog, GCLP_WNDPROC));
        host.dialogOpen = nullptr;
        return FALSE;
    }
    return FALSE;
}

// The template as the resource holds it, or made WS_VISIBLE under kDialogVisibleAtOnce, or with its title's
// first character changed under kDialogTitledInSetUp: a DIALOGEX template keeps its style after dlgVer,
// signature, helpID and exStyle, and its title after its position, size, menu and class (none: a word each).
void RunConfirmDialog()
{
    if (host.dialogShape & kDialogDecoyFirst) {
        HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, host.instance, nullptr);
        DestroyWindow(CreateWindowExA(0, "STATIC", HOST_CONFIRM_TITLE, WS_POPUP, 0, 0, 0, 0, other, nullptr,
                                      host.instance, nullptr));
        DestroyWindow(other);
    }
    HRSRC resource = FindResourceA(host.instance, MAKEINTRESOURCEA(IDD_HOST_CONFIRM), RT_DIALOG);
    const BYTE *bytes = static_cast<const BYTE *>(LockResource(LoadResource(host.instance, resource)));
    std::vector<BYTE> copy(bytes, bytes + SizeofResource(host.instance, resource));
    const size_t styleAt = 12, titleAt = 30;
    if (host.dialogShape & kDialogVisibleAtOnce)
        *reinterpret_cast<DWORD *>(&copy[styleAt]) |= WS_VISIBLE;
    if (host.dialogShape & kDialogTitledInSetUp)
        *reinterpret_cast<WCHAR *>(&copy[titleAt]) = L'x';
    DialogBoxIndirectParamA(host.instance, reinterpret_cast<const DLGTEMPLATE *>(copy.data()), host.hwndMain,
                            ConfirmDialogProc, 0);
}

}  // namespace

// Copies from the current folder; on the virtual folder or with nothing selected there is nothing to
// copy and no dialog. A second copy command while the dialog runs is not nested into it.
void RunCopyCommand()
{
    Stamp(Step::kCopyCommand);
    ++host.copyCommands;
    if (!host.dialogOpen && host.currentPath[0] != '\0' && ListView_GetSelectedCount(host.hwndList) != 0)
        RunConfirmDialog();
    Stamp(Step::kCopyCommandEnd);
}
