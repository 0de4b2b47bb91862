// The user's project data as the dialogs keep their settings in it: texts
// by key path, a default for a value that is missing or empty, the whole
// file written back at once.
#pragma once

#include "components/NorvexGloFunc.h"
#include "ui/afxwin.h"

#include <memory>

class ProjectSettings {
public:
    // Reads the working project file of the user folder ("VMQMain" /
    // "VmqUse", default "C:\User"); a file that cannot be read gives
    // defaults everywhere.
    ProjectSettings();
    // The project file's path, with backslashes.
    const CString& path() const { return m_path; }
    // The text at a key path; the default when it is missing or empty.
    CString get(const wchar_t* key, const wchar_t* defaultValue) const;
    int getInt(const wchar_t* key, int defaultValue) const;
    // The text of a real: as get, and the default also when the number the
    // text holds is not finite (ProjectDataReal).
    CString getReal(const wchar_t* key, const wchar_t* defaultValue) const;
    void set(const wchar_t* key, const CString& value);
    void setInt(const wchar_t* key, int value);
    // Writes the whole project data (temporary file, then rename); a file
    // that cannot be written is left as it was.
    bool save();

private:
    CString m_path;
    std::unique_ptr<CInterDpData> m_data;
};

// Moves a dialog to a saved screen position, keeping its size; a position
// at which the dialog would lie wholly off the desktop gives (0, 0).
void MoveToSavedPosition(CWnd& dialog, int x, int y);
