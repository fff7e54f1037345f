// Which comctl32 the settings library's image lists come from: the one that
// registered the class of the control they are handed to, with and without the
// library's common-controls-6 context active. Wine has one comctl32 for both
// versions, so the checks compare modules rather than expect two of them.
#include "ImageListApi.h"

#include <gtest/gtest.h>

#include <string>

#include "CommonControlsContext.h"
#include "PikunosetResources.h"

namespace {

// The library whose code runs the class: that of its window procedure.
HMODULE ClassModule(HWND window) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(GetClassLongPtrW(window, GCLP_WNDPROC)), &module);
    return module;
}

std::string ModuleName(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof path);
    return path;
}

class ImageListApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = LoadLibraryA("Pikunoset.dll");
        ASSERT_NE(nullptr, library_) << "Pikunoset.dll beside the test program";
    }
    void TearDown() override {
        if (library_) {
            FreeLibrary(library_);
        }
    }
    HMODULE library_ = nullptr;
};

void CheckEachControl(HMODULE library, bool makeLists) {
    for (int withContext = 0; withContext < 2; ++withContext) {
        SCOPED_TRACE(withContext ? "with the library's context" : "without a context");
        CommonControlsContext context(withContext ? library : nullptr, IDR_SHEET_MANIFEST);
        if (withContext) {
            ASSERT_TRUE(context.IsActive());
        } else {
            context.Deactivate();
        }
        // The library the sheet takes PropertySheetA and InitCommonControlsEx from.
        HMODULE named = LoadLibraryA("comctl32.dll");
        ASSERT_NE(nullptr, named);
        typedef BOOL(WINAPI * InitFunction)(const INITCOMMONCONTROLSEX*);
        InitFunction init =
            reinterpret_cast<InitFunction>(reinterpret_cast<void*>(GetProcAddress(named, "InitCommonControlsEx")));
        ASSERT_NE(nullptr, init);
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_USEREX_CLASSES};
        ASSERT_TRUE(init(&classes));

        HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                      nullptr, nullptr);
        ASSERT_NE(nullptr, parent);
        struct Case {
            const char* className;
            bool commonControl;  // registered by comctl32 in every version
        } cases[] = {{WC_COMBOBOXEXA, true}, {"Button", false}};
        for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
            HWND control = CreateWindowExA(0, cases[i].className, "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100,
                                           parent, nullptr, nullptr, nullptr);
            ASSERT_NE(nullptr, control) << "case " << i;
            ImageListApi api = ImageListApi::ForControl(control);
            ASSERT_TRUE(api.Usable()) << "case " << i;
            EXPECT_EQ(ClassModule(control), ImageListApi::ClassModule(control)) << "case " << i;
            if (cases[i].commonControl) {
                EXPECT_EQ(ClassModule(control), api.Module())
                    << "case " << i << ": class of " << ModuleName(ClassModule(control)) << ", image lists of "
                    << ModuleName(api.Module());
                EXPECT_EQ(named, api.Module()) << "case " << i << ": the sheet's comctl32 registered the class";
            } else if (ClassModule(control) != GetModuleHandleA("user32.dll")) {
                EXPECT_EQ(ClassModule(control), api.Module()) << "case " << i;
            } else {
                EXPECT_EQ(GetModuleHandleA("comctl32.dll"), api.Module()) << "case " << i;
            }
            if (!makeLists) {
                DestroyWindow(control);
                continue;
            }
            HIMAGELIST list = api.Create(16, 16, ILC_COLOR4 | ILC_MASK, 1, 0);
            ASSERT_NE(nullptr, list) << "case " << i;
            HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
            if (icon) {
                EXPECT_EQ(0, api.AddIcon(list, icon)) << "case " << i;
                HICON copy = api.GetIcon(list, 0, ILD_TRANSPARENT);
                EXPECT_NE(nullptr, copy) << "case " << i;
                if (copy) {
                    DestroyIcon(copy);
                }
            }
            if (cases[i].commonControl) {
                SendMessageA(control, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
                EXPECT_EQ(reinterpret_cast<LRESULT>(list), SendMessageA(control, CBEM_GETIMAGELIST, 0, 0))
                    << "case " << i;
                SendMessageA(control, CBEM_SETIMAGELIST, 0, 0);
            }
            EXPECT_TRUE(api.Destroy(list)) << "case " << i;
            DestroyWindow(control);
        }
        DestroyWindow(parent);
        FreeLibrary(named);
    }
}

// The functions of each control's own comctl32, with and without the library's
// common-controls-6 context.
TEST_F(ImageListApiTest, FunctionsComeFromTheComctl32OfTheirControl) {
    CheckEachControl(library_, false);
}

// And the image lists they make are those the controls take.
TEST_F(ImageListApiTest, ImageListsMadeThereAreTakenByTheControl) {
    CheckEachControl(library_, true);
}

TEST_F(ImageListApiTest, ModulesWithoutImageListsAreUnusable) {
    EXPECT_FALSE(ImageListApi::ForModule(nullptr).Usable());
    EXPECT_FALSE(ImageListApi::ForModule(GetModuleHandleA("kernel32.dll")).Usable());
    ImageListApi none;
    EXPECT_EQ(nullptr, none.Create(16, 16, ILC_COLOR4, 1, 0));
    EXPECT_FALSE(none.Destroy(nullptr));
    EXPECT_EQ(-1, none.AddIcon(nullptr, nullptr));
}

}  // namespace
