// The one place the program's version and names are kept.
#pragma once

#define VORREL_VERSION_NUMBERS 0, 0, 0, 4
#define VORREL_VERSION_TEXT "0.0.0.4"
#define VORREL_PRODUCT_NAME "Vorrel for Pelorin"
#define VORREL_COMPANY_NAME "Vorrel Project"
#define VORREL_COPYRIGHT "Copyright (C) 2026 Vorrel Project"
#define VORREL_EXE_NAME "vorrel.exe"
