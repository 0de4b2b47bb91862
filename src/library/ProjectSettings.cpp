#include "library/ProjectSettings.h"

#include <cwchar>

ProjectSettings::ProjectSettings() : m_data(std::make_unique<CInterDpData>())
{
    ACHAR buffer[1024];
    GetInformation(L"VMQMain", L"VmqUse", L"C:\\User", buffer, 1024);
    CString folder = buffer;
    if (folder.IsEmpty() || folder.Right(1) != L"\\")
        folder += L"\\";
    m_path = folder + L"VmqTemporary.Qrz";
    m_data->ReadDataFromQrzFile(m_path.GetString());
}

CString ProjectSettings::get(const wchar_t* key, const wchar_t* defaultValue) const
{
    const DpValueNode* node = m_data->GetSubValueFromPathW(0, key);
    if (node && node->length >= 2 && node->text)
        return CString(node->text);
    return CString(defaultValue);
}

int ProjectSettings::getInt(const wchar_t* key, int defaultValue) const
{
    const CString text = get(key, L"");
    if (text.IsEmpty())
        return defaultValue;
    return static_cast<int>(std::wcstol(text.GetString(), nullptr, 10));
}

CString ProjectSettings::getReal(const wchar_t* key, const wchar_t* defaultValue) const
{
    const CString text = get(key, defaultValue);
    double value = 0.0;
    return ProjectDataReal(text.GetString(), value) ? text : CString(defaultValue);
}

void ProjectSettings::set(const wchar_t* key, const CString& value)
{
    m_data->SetSubValueW(key, value.GetLength() + 1, value.GetString(), 0);
}

void ProjectSettings::setInt(const wchar_t* key, int value)
{
    CString text;
    text.Format(L"%d", value);
    set(key, text);
}

bool ProjectSettings::save()
{
    return m_data->WriteDataToQrzFile(m_path.GetString());
}

void MoveToSavedPosition(CWnd& dialog, int x, int y)
{
    CRect window, desktop;
    dialog.GetWindowRect(&window);
    CWnd::GetDesktopWindow()->GetWindowRect(&desktop);
    const int w = window.Width(), h = window.Height();
    const bool off = x > desktop.right || y > desktop.bottom || x + w < desktop.left || y + h < desktop.top;
    dialog.MoveWindow(off ? 0 : x, off ? 0 : y, w, h);
}
