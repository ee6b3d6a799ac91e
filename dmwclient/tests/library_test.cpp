// The library as the host sees it: loaded at run time, exports found by
// their exact names.
#include <gtest/gtest.h>

#include <cstring>

#include "collection.h"
#include "dynlib.h"

namespace {

TEST(DmwclientLibrary, CommonExportsWorkThroughTheLoadedLibrary) {
  DynamicLibrary library(DMWCLIENT_LIBRARY);
  ASSERT_TRUE(library.loaded()) << DMWCLIENT_LIBRARY;

  auto create = library.get<Collection *(*)(int, int, CoFreeFunc)>("_Co_Create");
  auto add = library.get<int (*)(Collection *, void *)>("_Co_Add");
  auto get = library.get<void *(*)(Collection *, int)>("_Co_Get");
  auto freeAll = library.get<void (*)(Collection *)>("_Co_Free");
  auto putStr = library.get<const char *(*)(char **, const char *)>("_XPutStr");
  auto getStr = library.get<char *(*)(char **)>("_XGetStr");
  auto putInt = library.get<void (*)(char **, int)>("_XPutInt");
  auto getInt = library.get<int (*)(char **)>("_XGetInt");
  ASSERT_TRUE(create && add && get && freeAll && putStr && getStr && putInt && getInt);

  // The host allocates an item with the C heap; the library frees it.
  Collection *c = create(1, 4, nullptr);
  ASSERT_NE(c, nullptr);
  char *item = static_cast<char *>(std::malloc(8));
  std::strcpy(item, "item");
  EXPECT_EQ(add(c, item), 0);
  EXPECT_EQ(get(c, 0), item);
  freeAll(c);

  char buffer[16];
  char *cur = buffer;
  putInt(&cur, 258);
  putStr(&cur, "abc");
  cur = buffer;
  EXPECT_EQ(getInt(&cur), 258);
  EXPECT_STREQ(getStr(&cur), "abc");

  for (const char *name : {"_Co_Insert", "_Co_FindItem", "_Co_DelItem", "_Co_RemoveItem",
                           "_Co_Delete", "_Co_Clear", "_Co_SetCapacity", "_Co_FreeData",
                           "_Co_FreeItem", "_msg", "_DebugOut", "_errmsg", "_XGetChr", "_XGetBuf",
                           "_XPutChr", "_XPutBuf", "_XGetFileDate", "_Xfopen", "_XSetFileTime",
                           "_XMakePath"})
    EXPECT_NE(library.get<void *>(name), nullptr) << name;
}

}  // namespace
