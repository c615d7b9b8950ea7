<?php # pound comment
$a = 1; // slash comment ?> still comment
/**/ $b /***/ $c
/** documentation
 * continues
 */ $d
/* block

   and more */ $e
/*/ not closed by its own star
*/
$f /= 2; /* same line */ /
