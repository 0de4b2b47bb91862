// The module's global function library: installation settings, project
// data (".Qrz" files), typing on the command line, extended data and small
// geometry and text helpers.
//
// Settings live in one UTF-8 JSON file of the installation: the file named
// by CTRLSCH_SETTINGS, else ~/.config/ctrlsch/settings.json; sections are
// objects of string values ({"VMQMain": {"VmqUse": "/home/u/vmq"}}).
// Project data is a tree of text values addressed by backslash key paths
// ("Gddata\Gnkhz\Hj"), kept as UTF-8 JSON; the working project file is
// the user folder's "VmqTemporary.Qrz". A damaged file, or one that cannot
// be read (a folder, a named pipe or a device in its place), is reported
// once, read as empty, and never overwritten; each write of project data
// refused for that reason says that the changes were not saved.
#pragma once

#include "host/adsdefs.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class AcDbObject;
class AcDbObjectId;
class AcGePoint3d;

// One installation setting: > 0 on success (then value holds it), 0 when it
// is missing (value holds the default).
int GetInformation(const ACHAR* section, const ACHAR* key, const ACHAR* defaultValue, ACHAR* value,
                   std::size_t size, int reserved = 1);
// The settings file in use.
std::string SettingsFilePath();
// One line (ended by a line break) for the start of a session: the settings
// file in use, or why the defaults are used (CTRLSCH_SETTINGS unset and no
// file at the default place; a file missing, unreadable or damaged, named,
// with the reader's words). A file reported here is not reported again.
std::string DescribeSettingsFile();

// A value node of project data: its length in characters counting the
// terminator, and its text.
struct DpValueNode {
    short length = 0;
    const ACHAR* text = nullptr;
};

// A project data tree in memory.
class CInterDpData {
public:
    CInterDpData();
    ~CInterDpData();
    CInterDpData(const CInterDpData&) = delete;
    CInterDpData& operator=(const CInterDpData&) = delete;

    // Loads the file whole; false when it cannot be read or is damaged
    // (the tree is then empty and the file marked as not to be written).
    bool ReadDataFromQrzFile(const ACHAR* path);
    // Saves the tree whole (temporary file, then rename); false when it
    // cannot, or when the tree came from a damaged file.
    bool WriteDataToQrzFile(const ACHAR* path);
    // The value at the key path, or null.
    const DpValueNode* GetSubValueFromPathW(int reserved, const ACHAR* keyPath);
    // Stores a value (length counts the terminator; the text is taken up to
    // length - 1 characters).
    bool SetSubValueW(const ACHAR* keyPath, int length, const ACHAR* text, int reserved);
    // Why the last read failed, or empty.
    const std::string& error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The working project data (VmqTemporary.Qrz in the user folder).
void GetQrzfile(const ACHAR* keyPath, const ACHAR* defaultValue, ACHAR* value, std::size_t size = 256);
void WriteQrzfile(const ACHAR* keyPath, const ACHAR* value);
// One value of a named .Qrz file: > 0 when the file was read (the value,
// or the default for an absent key), 0 when it could not be read or is
// damaged (value holds the default).
int FindFromQrzfile(const ACHAR* filePath, const ACHAR* keyPath, const ACHAR* defaultValue, ACHAR* value,
                    std::size_t size = 256);

// Types text on the host's command line, as the user would.
void SendMsgToAcad(const ACHAR* text, int length);

// Extended data helpers.
int AddXdata(const ads_name entity, const ACHAR* app, const resbuf* items);
int findXdata(AcDbObject* obj, const ACHAR* app, ACHAR* text, std::size_t size = 256);
// The same into a string whose storage is reused (no size limit); app is
// the application name in UTF-8. For walks over whole drawings.
bool findXdataString(const AcDbObject* obj, std::string_view app, std::wstring& text);
int GetEntXdataPoint(const AcDbObjectId& id, const ACHAR* app, AcGePoint3d& point);

double arx_angle(const ads_point p1, const ads_point p2);
void arx_polar(const ads_point from, double angle, double distance, ads_point result);
bool EraseObject(const AcDbObjectId& id);

// The corners of the current view (from VIEWCTR, VIEWSIZE and SCREENSIZE).
void XScjx(double lowerLeft[2], double upperRight[2]);
// A selection set of the host (acedSSGet), freed on every way out.
class CSelectionSet {
public:
    CSelectionSet() = default;
    ~CSelectionSet() { free(); }
    CSelectionSet(const CSelectionSet&) = delete;
    CSelectionSet& operator=(const CSelectionSet&) = delete;
    // Selects anew (the set held before is freed); acedSSGet's status.
    int get(const ACHAR* mode, const ads_point p1, const ads_point p2, const resbuf* filter);
    void free();
    // 0 when no set is held.
    ads_int32 length() const;
    bool name(ads_int32 i, ads_name out) const;
    // The members' object ids in selection order; false when none is held
    // or a member has no id (it is left out).
    bool ids(std::vector<AcDbObjectId>& out) const;

private:
    ads_name m_ss{};
    bool m_held = false;
};
// The object ids of a selection set's members in selection order; false
// when the set is unknown or a member has no id (it is left out).
bool SelectionSetIds(const ads_name ss, std::vector<AcDbObjectId>& ids);

// Splits text at separator (empty pieces kept).
void ExplodeStr(const std::wstring& text, const std::wstring& separator, std::vector<std::wstring>& out,
                bool reserved = false);
// Position of the first digit, or -1.
int findNumInString(const ACHAR* text);
// The real a text of project data holds, read as far as it is a number (0
// when it starts with none); false when that number is not finite ("inf",
// "nan", "1e999": damaged or hand-edited data), which callers take as a
// missing value.
bool ProjectDataReal(const ACHAR* text, double& value);

class CBitmap;
// A preview of a drawing's model space: a new width x height bitmap, the
// drawing fitted into it in its colours on black; nullptr when the
// drawing cannot be read or draws nothing. The caller deletes it.
CBitmap* GetBitmapFromDwgFile(const ACHAR* path, int width = 240, int height = 180);
