(princ "电动机 M1") ; 注释
(prin1 (quote (a b)))