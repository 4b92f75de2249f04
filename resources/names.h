/* The program's names, read by the resource script and by the code. Plain
   narrow literals, so that C++ can widen them with u"" or L"" in front. */
#ifndef TESSALY_RESOURCES_NAMES_H_
#define TESSALY_RESOURCES_NAMES_H_

#define TESSALY_APP_TITLE "Brevinor"
#define TESSALY_PROJECT_NAME "Brevinor"
#define TESSALY_EXE_NAME "Tessaly"
#define TESSALY_FILE_NAME "Tessaly.exe"
#define TESSALY_HELP_FILE ""
#define TESSALY_COMPANY_NAME "Brevinor Project"

#endif /* TESSALY_RESOURCES_NAMES_H_ */
