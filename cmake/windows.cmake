# Windows (mingw-w64) configuration: Tillerset.exe, Windows-side tools, the e2e driver.
enable_language(RC)
