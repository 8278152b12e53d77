#pragma once
#define IDS_TEST_LONG 9001 // 300 characters
#define IDS_TEST_ABSENT 9002
