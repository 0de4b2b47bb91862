(setvar "CLAYER" "")
(setvar "OSMODE" 99999999999999999999)
(getvar 1)
(setvar)