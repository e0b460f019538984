#include "app/ListFolder.h"

namespace {

String g_folder;

}  // namespace

String ListFolder() { return g_folder; }

void SetListFolder(const String& folder) {
    g_folder = folder;
    if (!g_folder.IsEmpty() && g_folder[g_folder.Length() - 1] != u'/' && g_folder[g_folder.Length() - 1] != u'\\')
        g_folder = g_folder + "/";
}

String ListFile(const String& name) { return g_folder + name; }
