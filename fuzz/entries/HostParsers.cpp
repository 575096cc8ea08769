// Fuzz entries for the host's parsers: pictures, integer-array texts, form files, text
// conversions and database files.
#include "fuzz/entries/FuzzEntries.h"
#include "fuzz/entries/FuzzWorld.h"

#include "orvel/containers/Arrays.h"
#include "orvel/design/OrvelReg.h"
#include "orvel/host/controls/BmpCodec.h"
#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Component.h"
#include "orvel/host/core/Streams.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/host/design/FormFiles.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace orvel::fuzz {

namespace {

std::string AsText(const uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

} // namespace

void FuzzBitmap(const uint8_t* data, std::size_t size) {
    TDecodedImage image = ReadBmp(data, size);
    // What decodes must also load into a bitmap and save back.
    TMemoryStream stream;
    stream.Write(data, static_cast<int64_t>(size));
    stream.SetPosition(0);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    TMemoryStream out;
    bitmap.SaveToStream(out);
    (void)image;
}

void FuzzIntArrayText(const uint8_t* data, std::size_t size) {
    TIntArray a;
    a.SetText(AsText(data, size));
    TIntArray b;
    b.SetText(a.GetText());
    if (!a.IsEqualTo(&b)) __builtin_trap(); // the text form must read back the same array
}

// Forms of every registered class: the data classes, the host's controls and forms, and the
// package's six components (registered on their palette page as a designer does). A form may
// also name the shared tables and data sources of the fuzz world, so views read from it load
// real records through the message loop before it goes.
void FuzzFormFile(const uint8_t* data, std::size_t size) {
    static bool registered = [] {
        RegisterDataClasses();
        RegisterControlClasses();
        RegisterClass(TDataModule::StaticClassInfo());
        OrvelReg::Register();
        return true;
    }();
    (void)registered;
    TFuzzWorld& world = TFuzzWorld::Get();
    world.Reset();
    TOwned<TComponent> root(
        ReadComponentFromText(AsText(data, size), nullptr, world.ReadOptions()));
    RunMessages();
    std::string written = WriteComponentToText(root.get());
    root.reset();
    world.Reset();
    // What is written reads back.
    TOwned<TComponent> again(ReadComponentFromText(written, nullptr, world.ReadOptions()));
    RunMessages();
}

void FuzzTextConversions(const uint8_t* data, std::size_t size) {
    std::string text = AsText(data, size);
    int32_t i = 0;
    int64_t i64 = 0;
    double d = 0;
    TDateTime dt = 0;
    if (TryStrToInt(text, i) && StrToInt(IntToStr(i)) != i) __builtin_trap();
    (void)TryStrToInt64(text, i64);
    if (TryStrToFloat(text, d)) (void)StrToFloat(FloatToStr(d));
    if (TryStrToDateTime(text, dt)) (void)StrToDateTime(DateTimeToStr(dt));
    Variant v(text);
    for (TVarType t : {varSmallint, varInteger, varInt64, varDouble, varBoolean, varDate}) {
        try {
            (void)VarAsType(v, t).AsString();
        } catch (const Exception&) {
        }
    }
}

void FuzzDatabaseFile(const uint8_t* data, std::size_t size) {
    char path[] = "/tmp/orvel-fuzz-db-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return;
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        TOwned<TComponent> owner(new TComponent(nullptr));
        auto* db = new TDatabase(owner.get());
        db->SetDatabaseName(path);
        db->Open();
        std::vector<std::string> tables;
        db->GetTableNames(tables);
        for (std::size_t t = 0; t < tables.size() && t < 4; ++t) {
            auto* table = new TTable(owner.get());
            table->SetDatabase(db);
            table->SetTableName(tables[t]);
            try {
                table->Open();
                int rows = 0;
                for (table->First(); !table->Eof() && rows < 1000; table->Next(), ++rows)
                    for (int f = 0; f < table->FieldCount(); ++f)
                        (void)table->Fields(f)->GetAsString();
            } catch (const Exception&) {
            }
        }
    } catch (...) {
        std::remove(path);
        throw;
    }
    std::remove(path);
}

} // namespace orvel::fuzz
