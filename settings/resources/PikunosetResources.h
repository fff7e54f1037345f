#pragma once
// Resource identifiers of the settings library (dialogs, icons, bitmap, controls).
// Shared by the resource script, the pages and the tests that drive them.

#define IDD_DIGEST_PAGE 101
#define IDD_FILTER_PAGE 102

// Mark icons 1 to 7 are consecutive, in mark order; then the unread envelope.
#define IDI_MARK_FIRST 201
#define IDI_MARK1 201
#define IDI_MARK2 202
#define IDI_MARK3 203
#define IDI_MARK4 204
#define IDI_MARK5 205
#define IDI_MARK6 206
#define IDI_MARK7 207
#define IDI_UNREAD 208

#define IDB_ACCOUNT 301

// Not 1 or 2: the loader must not apply it to the library's own imports.
#define IDR_SHEET_MANIFEST 401

// Digest page, in the page's order.
#define IDC_DIVIDE 1001
#define IDC_TYPE_GROUP 1002
#define IDC_MULTIPART_MIXED 1003
#define IDC_MULTIPART_DIGEST 1004
#define IDC_DISPOSAL_GROUP 1005
#define IDC_DEL_TRASH 1006
#define IDC_DEL_DELETE 1007
#define IDC_DEL_KEEP 1008
#define IDC_ASK_DELETE 1009
#define IDC_MARK_GROUP 1010
#define IDC_MARK_NONE 1011
#define IDC_MARK1 1012  // IDC_MARK1 + k - 1 is mark k (1 to 7)
#define IDC_MARK2 1013
#define IDC_MARK3 1014
#define IDC_MARK4 1015
#define IDC_MARK5 1016
#define IDC_MARK6 1017
#define IDC_MARK7 1018
#define IDC_MIDOKU 1019

// Filter page, in the page's order.
#define IDC_ACCOUNT_LABEL 1101
#define IDC_ACCOUNT_LIST 1102
#define IDC_DO_FILTER 1103
#define IDC_USER_LABEL 1104
#define IDC_USER_NAME 1105
#define IDC_PASSWORD_LABEL 1106
#define IDC_PASSWORD 1107
#define IDC_PASSWORD_NOTE 1108
#define IDC_TYPE_LIST 1109
#define IDC_TYPE_CONDITIONS 1110
#define IDC_FILTER_SIZE 1111
#define IDC_SIZE_SPIN 1112
#define IDC_BYTE_LABEL 1113
#define IDC_DELETE_ON_SERVER 1114
#define IDC_CHECK_SIZE 1115
// How the plug-in's session is secured, under the password note.
#define IDC_SECURITY_LABEL 1116
#define IDC_SECURITY 1117
