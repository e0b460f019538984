#include "app/ListFolder.h"

namespace {

String g_folder;

}  // namespace

String ListFolder() { return g_folder; }

String InFolder(const String& folder, const String& name) {
    if (folder.IsEmpty() || folder.HasSuffix("/") || folder.HasSuffix("\\")) return folder + name;
    return folder + "/" + name;
}

void SetListFolder(const String& folder) { g_folder = InFolder(folder, ""); }

String ListFile(const String& name) { return g_folder + name; }
