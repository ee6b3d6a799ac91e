#include "pages.h"

#include "resource.h"

namespace {

using com::FieldKind;

// The fields in the order they are exchanged.
const com::PageLayout kGeneralPage = {
    IDD_GENERAL_PAGE,
    IDS_GENERAL_PAGE_CAPTION,
    {{FieldKind::Number, "ctrlID", {IDC_CONTEXT}},
     {FieldKind::Text, "mapFile", {IDC_MAP_FILE}},
     {FieldKind::Text, "windowClass", {IDC_WINDOW_CLASS}},
     {FieldKind::Text, "keywords", {IDC_KEYWORDS}},
     {FieldKind::Text, "topic", {IDC_TOPIC}},
     {FieldKind::Text, "Caption", {IDC_CAPTION}},
     // The command numbers 0 to 10, in this order.
     {FieldKind::Radio,
      "Command",
      {IDC_SHOW_TOPIC, IDC_ACTIVE_POPUP, IDC_TEXT_POPUP, IDC_CONTENTS, IDC_INDEX, IDC_SEARCH, IDC_KEYWORD_LOOKUP,
       IDC_ALINK, IDC_SKY_SHOW_TOPIC, IDC_SKY_ACTIVE_POPUP, IDC_JAVA_SHOW_TOPIC}},
     {FieldKind::Check, "View", {IDC_VIEW_FRAMESET}}}};

const com::PageLayout kJavaHelpPage = {IDD_JAVA_PAGE,
                                       IDS_JAVA_PAGE_CAPTION,
                                       {{FieldKind::Text, "TSJHelp", {IDC_TSJHELP}},
                                        {FieldKind::Text, "TipcasterPath", {IDC_VIEWER_PATH}},
                                        {FieldKind::Text, "javaHelpPath", {IDC_JAVAHELP_PATH}},
                                        {FieldKind::Text, "JREPath", {IDC_JRE_PATH}},
                                        {FieldKind::Text, "HelpsetFile", {IDC_HELPSET}},
                                        {FieldKind::Text, "JARFile", {IDC_JAR_FILE}},
                                        {FieldKind::Radio, "javaVersion", {IDC_JAVA_12, IDC_JAVA_116}}}};

}  // namespace

CTSHelpButtonPropPage::CTSHelpButtonPropPage() : PropertyPage(kGeneralPage) {}

CTSHelpJavaHelpSettings::CTSHelpJavaHelpSettings() : PropertyPage(kJavaHelpPage) {}
