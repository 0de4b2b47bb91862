// The visitor through which every modelled object describes its DXF fields
// once, in file order; the reader binds tags to the fields it is shown, the
// writer writes them (see AcDbObject::describeFields).
//
// The reader's cache of fields: it describes the first object of each kind
// (class and DXF name) once and keeps each field as an offset from that
// object, then fills every later object of the kind through those offsets
// (FieldPlan in dxf/dxfin.cpp). So, while reading (isReading()),
// describeFields must hand over members stored inside the object itself,
// never memory it owns elsewhere (a vector's or a heap string's contents, a
// pointed-to object), and the same members, in the same order, for every
// object of its kind, whatever the object's state. A field that breaks this
// is written into the wrong place of later objects; debug builds assert it
// object by object.
#pragma once

#include "host/dbmain.h"

class AcDbDxfFields {
public:
    virtual ~AcDbDxfFields() = default;
    // True while reading (fields receive values), false while writing.
    virtual bool isReading() const = 0;
    // Starts a subclass ("AcDbEntity"); the fields after it belong to it.
    virtual void subclass(const char* marker) = 0;
    // Written always, or only when it differs from dflt (compared without
    // case) when dflt is given.
    virtual void text(short code, std::string& value, const char* dflt = nullptr) = 0;
    // A shared name (AcDbSharedName), as text.
    virtual void name(short code, AcDbSharedName& value, const char* dflt = nullptr)
    {
        std::string s = value.str();
        text(code, s, dflt);
        if (s != value.str())
            value = AcDbSharedName(s);
    }
    virtual void real(short code, double& value, double dflt, bool always = false) = 0;
    // Radians in memory, degrees in the file.
    virtual void angle(short code, double& radians, bool always = false) = 0;
    virtual void integer(short code, int& value, int dflt, bool always = false) = 0;
    // A point with codes code, code+10 and code+20; flat points are written
    // without Z (and their Z read when present).
    virtual void point(short code, AcGePoint3d& p, bool flat = false) = 0;
    // An extrusion direction, written only when it is not the Z axis.
    virtual void normal(short code, AcGeVector3d& v) = 0;
    // The block name of a block reference.
    virtual void blockName(short code, AcDbBlockReference& ref) = 0;
    // Vertex count, then the vertices of a lightweight polyline.
    virtual void vertices(AcDbPolyline& pl) = 0;
};
