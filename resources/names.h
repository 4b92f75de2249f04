/* The program's names, read by the resource script, by the code and by the
   release's scripts (cmake/project.py, which gives the Windows Installer
   packages their product name and maker). Plain narrow literals, so that
   C++ can widen them with u"" or L"" in front. Texts that hold the names,
   as the packages' messages and registry keys do, say them again. */
#ifndef TESSALY_RESOURCES_NAMES_H_
#define TESSALY_RESOURCES_NAMES_H_

#define TESSALY_APP_TITLE "Brevinor"
#define TESSALY_PROJECT_NAME "Brevinor"
#define TESSALY_EXE_NAME "Tessaly"
#define TESSALY_FILE_NAME "Tessaly.exe"
#define TESSALY_COMPANY_NAME "Brevinor Project"

#endif /* TESSALY_RESOURCES_NAMES_H_ */
