# Writes the manual page checkphp.1.gz from the program's own --help, so the two never differ.
#   cmake -DCHECKPHP=path/to/checkphp -DVERSION=x.y.z -DOUT=dir -P manpage.cmake
# --help needs no display.
execute_process(COMMAND ${CHECKPHP} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "checkphp --help failed: ${status}")
endif()
# The help names the program as it was started: here its build path.
string(REGEX REPLACE "Usage: [^ ]*checkphp" "Usage: checkphp" help "${help}")
# troff: a backslash is \e, a minus sign \-, a line may not start with a control character.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
file(WRITE ${OUT}/checkphp.1
".TH CHECKPHP 1 \"\" \"checkphp ${VERSION}\" \"User Commands\"
.SH NAME
checkphp \\- run a PHP script and show, render and save its output
.SH SYNOPSIS
.B checkphp
[\\fIoptions\\fR] [\\fISCRIPT\\fR...]
.br
.B checkphp
[\\-\\-php \\fIINTERPRETER\\fR] [\\-\\-params \\fITEXT\\fR] \\-\\-save \\fIFILE\\fR [\\-\\-timeout \\fISECONDS\\fR] [\\-\\-max\\-output \\fISIZE\\fR] [\\-\\-errors] [\\fISCRIPT\\fR]
.SH DESCRIPTION
.nf
${help}.fi
.SH FILES
.TP
.I ~/.config/checkphp/checkphp.ini
what the window remembers: the interpreter chosen and the output limit (\\fB$XDG_CONFIG_HOME\\fR is used when set)
.TP
.I /usr/share/applications/checkphp.desktop
the menu entry \"Check PHP file\"
")
execute_process(COMMAND gzip -9nf ${OUT}/checkphp.1 RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed")
endif()
