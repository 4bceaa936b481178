; Installer of the Windows program (NSIS 3). Built by CMake's "installer"
; target (scripts/windows), with these defines:
;   BUILD    the build folder: tamarind.exe, tessdata\, tamarind.html
;   SOURCE   the source tree (licence, manual pictures)
;   BITS     32 or 64
;   OUTFILE  the installer to write
;   OCR      defined when the program has text recognition (tessdata\)
;
; The program keeps tamarind.ini and log\tmdlog.txt beside itself, so it is
; installed for the current user, into a folder that user may write
; (%LOCALAPPDATA%\Programs\Tamarind), and needs no administrator.

Unicode true
!if ${BITS} == 64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define PRODUCT "Tamarind"
!define VERSION "3.00"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamarind"
!define APP_KEY "Software\Classes\Applications\tamarind.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tamarind"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; "Open with Tamarind" for one extension.
!macro OpenWith EXT
  WriteRegStr HKCU "Software\Classes\.${EXT}\OpenWithList\tamarind.exe" "" ""
  WriteRegStr HKCU "Software\Classes\.${EXT}\OpenWithProgids" "Tamarind.Fax" ""
  WriteRegStr HKCU "${APP_KEY}\SupportedTypes" ".${EXT}" ""
!macroend

!macro NoOpenWith EXT
  DeleteRegKey HKCU "Software\Classes\.${EXT}\OpenWithList\tamarind.exe"
  DeleteRegValue HKCU "Software\Classes\.${EXT}\OpenWithProgids" "Tamarind.Fax"
  DeleteRegKey /ifempty HKCU "Software\Classes\.${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "Software\Classes\.${EXT}\OpenWithList"
  DeleteRegKey /ifempty HKCU "Software\Classes\.${EXT}"
!macroend

Section "Tamarind"
  SetOutPath "$INSTDIR"
  File "${BUILD}\tamarind.exe"
  File "${BUILD}\tamarind.html"
  File "${SOURCE}\docs\screenshot-convert.png"
  File "${SOURCE}\docs\screenshot-options.png"
  File "${SOURCE}\docs\screenshot-about.png"
  File /oname=LICENSE.txt "${SOURCE}\debian\copyright"
!ifdef OCR
  SetOutPath "$INSTDIR\tessdata"
  File "${BUILD}\tessdata\eng.traineddata"
  File "${BUILD}\tessdata\osd.traineddata"
  File "${BUILD}\tessdata\pdf.ttf"
!endif

  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Tamarind.lnk" "$INSTDIR\tamarind.exe"

  ; "Open with Tamarind": the window opens with the fax as its source.
  WriteRegStr HKCU "${APP_KEY}" "FriendlyAppName" "Tamarind"
  WriteRegStr HKCU "${APP_KEY}\shell\open" "" "Open with Tamarind"
  WriteRegStr HKCU "${APP_KEY}\shell\open\command" "" '"$INSTDIR\tamarind.exe" "%1"'
  WriteRegStr HKCU "Software\Classes\Tamarind.Fax" "" "WinFax page file"
  WriteRegStr HKCU "Software\Classes\Tamarind.Fax\DefaultIcon" "" '"$INSTDIR\tamarind.exe",0'
  WriteRegStr HKCU "Software\Classes\Tamarind.Fax\shell\open" "" "Open with Tamarind"
  WriteRegStr HKCU "Software\Classes\Tamarind.Fax\shell\open\command" "" '"$INSTDIR\tamarind.exe" "%1"'
  !insertmacro OpenWith fxd
  !insertmacro OpenWith fxm
  !insertmacro OpenWith fxr
  !insertmacro OpenWith fxs

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (${BITS}-bit)"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tamarind developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\tamarind.exe",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Tamarind.lnk"
  !insertmacro NoOpenWith fxd
  !insertmacro NoOpenWith fxm
  !insertmacro NoOpenWith fxr
  !insertmacro NoOpenWith fxs
  DeleteRegKey HKCU "Software\Classes\Tamarind.Fax"
  DeleteRegKey HKCU "${APP_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; What the program made beside itself goes too: its settings and log.
  Delete "$INSTDIR\tamarind.ini"
  RMDir /r "$INSTDIR\log"
  RMDir /r "$INSTDIR\tessdata"
  Delete "$INSTDIR\tamarind.exe"
  Delete "$INSTDIR\tamarind.html"
  Delete "$INSTDIR\screenshot-*.png"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
