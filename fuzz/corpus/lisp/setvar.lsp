(setvar "osmode" 0)
(setvar "CECOLOR" "1")