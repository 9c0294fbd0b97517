#include "core/folder_name.h"

#include <gtest/gtest.h>

#include <string>

TEST(FolderName, TakesOrdinaryNamesAndThoseThatOnlyLookLikeDevices) {
    for (std::u16string_view name : {u"kept", u"a.b", u"con2", u"COM0", u"LPT10", u"console",
                                     u"nul_", u" x ", u"..x", u"\u00e9t\u00e9"})
        EXPECT_EQ(folder_name_fault(name), name_fault_t::none)
            << std::string(name.begin(), name.end());
    EXPECT_EQ(folder_name_fault(std::u16string(255, u'x')), name_fault_t::none);
}

TEST(FolderName, RefusesWhatTheFileSystemWouldRefuseAndSaysWhichRule) {
    EXPECT_EQ(folder_name_fault(u"a\\b"), name_fault_t::reserved_character);
    EXPECT_EQ(folder_name_fault(u"x:y"), name_fault_t::reserved_character);
    EXPECT_EQ(folder_name_fault(u"why?"), name_fault_t::reserved_character);
    EXPECT_EQ(folder_name_fault(u"tab\there"), name_fault_t::control_character);
    EXPECT_EQ(folder_name_fault(u"   "), name_fault_t::no_name);
    EXPECT_EQ(folder_name_fault(u". ."), name_fault_t::no_name);
    EXPECT_EQ(folder_name_fault(u""), name_fault_t::no_name);
    EXPECT_EQ(folder_name_fault(std::u16string(256, u'x')), name_fault_t::too_long);
    for (std::u16string_view device : {u"con", u"CON", u"nul.txt", u"Com1", u"lpt9.a.b", u"aux ",
                                       u"prn .x", u"conin$", u"CONOUT$"})
        EXPECT_EQ(folder_name_fault(device), name_fault_t::device_name)
            << std::string(device.begin(), device.end());
}
